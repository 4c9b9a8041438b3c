#include "PortableProgram.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace fs = std::filesystem;

namespace trelvo {

PortableProgram::PortableProgram() {
    char name[] = "/tmp/trelvo-program-XXXXXX";
    if (!::mkdtemp(name)) return;
    folder_ = name;
    fs::copy_file(TRELVO_PROGRAM_PATH, folder_ / "trelvo");
    fs::copy_file(std::string(TRELVO_RUNTIME_DIR) + "/upchar.dat", folder_ / "upchar.dat");
}

PortableProgram::~PortableProgram() {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

pid_t PortableProgram::start(const std::function<void()>& inChild) const {
    const std::string program = (folder_ / "trelvo").string();
    const pid_t child = ::fork();
    if (child != 0) return child;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (inChild) inChild();
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
}

}  // namespace trelvo
