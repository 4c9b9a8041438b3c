// The update check against a web server nobody here wrote: python's
// http.server on 127.0.0.1, speaking HTTP/1.0, serving the published edition
// of the delivered Czech-English dictionary, signed by the demo key.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "LoopbackPorts.h"
#include "tool/TrelvoTool.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;

namespace {

const std::string runtimeDir = TRELVO_RUNTIME_DIR;

std::string checkUpdate(const std::string& file, const std::string& netIni) {
    std::istringstream in;
    std::ostringstream out, err;
    trelvo::TrelvoTool tool(in, out, err);
    tool.run({"check-update", file, "--locations", netIni, "--yes", "--tables", runtimeDir + "/upchar.dat"});
    return out.str();
}

}  // namespace

TEST(UpdateEndToEnd, APythonServerDeliversTheNewerEditionOnce) {
    if (std::system("python3 -c 'import http.server' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    const trelvo::support::TemporaryFolder folder("trelvo-e2e");
    const fs::path& dir = folder.path();
    const std::string dictionary = (dir / "cs-en.dsl").string();
    fs::copy_file(runtimeDir + "/DSL/cs-en.dsl", dictionary);
    const int port = freeLoopbackPort();
    std::ofstream((dir / "net.ini").string()) << "127.0.0.1:" << port << "/trelvo\n";

    pid_t server = fork();
    if (server == 0) {
        const std::string folder = runtimeDir + "/updates";
        const std::string portText = std::to_string(port);
        execlp("python3", "python3", "-m", "http.server", portText.c_str(), "--bind", "127.0.0.1", "--directory",
               folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 200 && !acceptsOnLoopback(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const std::string first = checkUpdate(dictionary, (dir / "net.ini").string());
    const std::string second = checkUpdate(dictionary, (dir / "net.ini").string());
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);

    EXPECT_NE(first.find("newer edition 1.1: yes"), std::string::npos) << first;
    EXPECT_NE(first.find("synchronised"), std::string::npos) << first;
    EXPECT_NE(first.find("signature: verified (Trelvo demo key"), std::string::npos) << first;
    EXPECT_NE(first.find("completed"), std::string::npos) << first;
    EXPECT_NE(first.find("result: 1"), std::string::npos) << first;
    EXPECT_EQ(second.find("newer edition"), std::string::npos) << "the stamps are equal now: " << second;
    EXPECT_NE(second.find("result: 2"), std::string::npos) << second;
}
