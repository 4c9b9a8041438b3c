// The program itself, started as a process under a file-size limit: a save
// past the limit fails like a save to a full disk instead of the limit's
// signal killing the program.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "PortableProgram.h"

namespace fs = std::filesystem;

TEST(FileSizeLimit, TheProgramOutlivesASaveThatPassesIt) {
    const trelvo::PortableProgram program;
    const fs::path& folder = program.folder();
    const pid_t child = program.start([] {
        // The signal at its default, as a shell leaves it: the program must see to it.
        signal(SIGXFSZ, SIG_DFL);
        // Less than trelvo.cfg, which closing the window writes.
        const rlimit limit{10, 10};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    ASSERT_GT(child, 0);
    // Once its start-up has made the DSL folder, it is asked to end as a
    // desktop session asks, which closes its window.
    int status = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(folder / "DSL") && waitpid(child, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(child, SIGTERM);
    while (waitpid(child, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        ADD_FAILURE() << "the program did not end";
    }
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_FALSE(fs::exists(folder / "trelvo.cfg")) << "a file past the limit is not left cut";
    for (const auto& item : fs::directory_iterator(folder))
        EXPECT_EQ(item.path().filename().string().find(".trelvo-"), std::string::npos) << item.path();
}
