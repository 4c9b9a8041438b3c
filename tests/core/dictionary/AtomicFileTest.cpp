// Saving keeps what the user set on a file (mode, owner, links) and never
// writes over a file the user may not write.
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "core/dictionary/AtomicFile.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using trelvo::replaceFileAtomically;

namespace {

constexpr uid_t nobody = 65534;

class AtomicFileTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return (folder_ / name).string(); }

    std::string make(const std::string& name, const std::string& bytes, mode_t mode) const {
        const std::string path = file(name);
        std::ofstream(path, std::ios::binary) << bytes;
        ::chmod(path.c_str(), mode);
        return path;
    }

    static std::string bytesOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static struct stat statOf(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
        return info;
    }

    static std::size_t filesIn(const fs::path& folder) {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    // Runs body in a child process and gives its result; the child runs as
    // another user when asUser is set and the tests run as root, since
    // permission bits do not stop root.
    static bool inChild(const std::function<bool()>& body, bool asUser, rlim_t sizeLimit = RLIM_INFINITY) {
        pid_t child = fork();
        if (child == 0) {
            if (asUser && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
                _exit(2);
            // The file-size limit makes a write fail part-way, as a full disk would.
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{sizeLimit, sizeLimit};
            if (sizeLimit != RLIM_INFINITY) setrlimit(RLIMIT_FSIZE, &limit);
            _exit(body() ? 1 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "the child could not start";
        return WIFEXITED(status) && WEXITSTATUS(status) == 1;
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-atomic"};
    fs::path folder_ = temporary_.path();
};

TEST_F(AtomicFileTest, AFileTheUserMayNotWriteIsRefusedAndKept) {
    const std::string readOnly = make("cteni.dsl", "old", 0444);
    EXPECT_FALSE(replaceFileAtomically(readOnly, "new"));
    EXPECT_EQ(bytesOf(readOnly), "old");
    EXPECT_EQ(statOf(readOnly).st_mode & 07777, 0444u);

    // Another user's file that only its owner may write (the child is
    // another user only when the tests run as root).
    const std::string foreign = make("cizi.dsl", "old", 0644);
    if (geteuid() == 0) {
        EXPECT_FALSE(inChild([&] { return replaceFileAtomically(foreign, "new"); }, true));
        EXPECT_EQ(bytesOf(foreign), "old");
    }

    // Neither a folder nor a pipe in the file's place is written or replaced.
    fs::create_directory(file("slozka.dsl"));
    EXPECT_FALSE(replaceFileAtomically(file("slozka.dsl"), "new"));
    ASSERT_EQ(::mkfifo(file("roura.dsl").c_str(), 0644), 0);
    EXPECT_FALSE(replaceFileAtomically(file("roura.dsl"), "new"));
    EXPECT_TRUE(S_ISFIFO(statOf(file("roura.dsl")).st_mode));
    EXPECT_EQ(filesIn(folder_), 4u) << "no temporary file is left";
}

TEST_F(AtomicFileTest, TheNewFileKeepsModeAndOwner) {
    const std::string secret = make("tajny.dsl", "old", 0600);
    ASSERT_TRUE(replaceFileAtomically(secret, "new"));
    EXPECT_EQ(bytesOf(secret), "new");
    EXPECT_EQ(statOf(secret).st_mode & 07777, 0600u);

    if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
    const std::string given = make("predany.dsl", "old", 0640);
    ASSERT_EQ(::chown(given.c_str(), nobody, nobody), 0);
    ASSERT_TRUE(replaceFileAtomically(given, "new"));
    EXPECT_EQ(statOf(given).st_uid, nobody);
    EXPECT_EQ(statOf(given).st_gid, nobody);
    EXPECT_EQ(statOf(given).st_mode & 07777, 0640u);
}

TEST_F(AtomicFileTest, ASymlinkChainWritesItsTargetAndStaysALink) {
    fs::create_directory(folder_ / "data");
    const std::string target = make("data/slovnik.dsl", "old", 0640);
    fs::create_symlink("data/slovnik.dsl", folder_ / "first.dsl");        // relative
    fs::create_symlink(folder_ / "first.dsl", folder_ / "second.dsl");     // absolute, to a link
    ASSERT_TRUE(replaceFileAtomically(file("second.dsl"), "new"));
    EXPECT_EQ(bytesOf(target), "new");
    EXPECT_EQ(statOf(target).st_mode & 07777, 0640u);
    EXPECT_TRUE(fs::is_symlink(folder_ / "first.dsl"));
    EXPECT_TRUE(fs::is_symlink(folder_ / "second.dsl"));
    EXPECT_EQ(filesIn(folder_ / "data"), 1u);

    // A link to a file not yet there creates it; a loop of links fails.
    fs::create_symlink("data/novy.dsl", folder_ / "third.dsl");
    ASSERT_TRUE(replaceFileAtomically(file("third.dsl"), "made"));
    EXPECT_EQ(bytesOf(file("data/novy.dsl")), "made");
    EXPECT_TRUE(fs::is_symlink(folder_ / "third.dsl"));
    fs::create_symlink("loop-b", folder_ / "loop-a");
    fs::create_symlink("loop-a", folder_ / "loop-b");
    EXPECT_FALSE(replaceFileAtomically(file("loop-a"), "new"));
}

TEST_F(AtomicFileTest, AHardLinkedFileIsWrittenInPlaceForEveryName) {
    const std::string first = make("a.dsl", "old contents", 0640);
    fs::create_hard_link(first, folder_ / "b.dsl");
    const ino_t inode = statOf(first).st_ino;
    ASSERT_TRUE(replaceFileAtomically(first, "new"));
    EXPECT_EQ(bytesOf(file("b.dsl")), "new");
    EXPECT_EQ(statOf(first).st_ino, inode);
    EXPECT_EQ(statOf(first).st_nlink, 2u);
    EXPECT_EQ(filesIn(folder_), 2u);
}

TEST_F(AtomicFileTest, AWritableFileInAFolderTheUserMayNotWriteIsWrittenInPlace) {
    fs::create_directory(folder_ / "zamceno");
    const std::string open = make("zamceno/slovnik.dsl", "old contents", 0666);
    fs::permissions(folder_ / "zamceno", fs::perms(0555));
    EXPECT_TRUE(inChild([&] { return replaceFileAtomically(open, "new"); }, true));
    EXPECT_EQ(bytesOf(open), "new");
    EXPECT_EQ(statOf(open).st_mode & 07777, 0666u);
    // A new file there cannot be made at all.
    EXPECT_FALSE(inChild([&] { return replaceFileAtomically(file("zamceno/jiny.dsl"), "new"); }, true));
    EXPECT_EQ(filesIn(folder_ / "zamceno"), 1u);
}

TEST_F(AtomicFileTest, AFullDiskLeavesTheOldFileWhole) {
    const std::string old(100, 'o');
    const std::string big(5000, 'n');
    const std::string single = make("jeden.dsl", old, 0644);
    EXPECT_FALSE(inChild([&] { return replaceFileAtomically(single, big); }, false, 1000));
    EXPECT_EQ(bytesOf(single), old);

    const std::string linked = make("spojeny.dsl", old, 0644);
    fs::create_hard_link(linked, folder_ / "druhy.dsl");
    EXPECT_FALSE(inChild([&] { return replaceFileAtomically(linked, big); }, false, 1000));
    EXPECT_EQ(bytesOf(linked), old);
    EXPECT_EQ(filesIn(folder_), 3u) << "the temporary file is removed";
}

TEST_F(AtomicFileTest, ALongNameKeepsItsTemporaryWithinTheNameLimit) {
    const std::string name = std::string(NAME_MAX - 4, 'v') + ".dsl";
    const std::string path = make(name, "old", 0644);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_TRUE(replaceFileAtomically(path, "new"));
    EXPECT_EQ(bytesOf(path), "new");
    fs::remove(path);
    EXPECT_TRUE(replaceFileAtomically(path, "made"));
    EXPECT_EQ(bytesOf(path), "made");
    EXPECT_EQ(filesIn(folder_), 1u);
}

}  // namespace

namespace {

TEST_F(AtomicFileTest, ALeftoverOfAKilledSaveGoesAtOnceWhileARunningSaveKeepsItsFile) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // A download being saved into the program folder, stopped half-way.
    pid_t child = fork();
    if (child == 0) {
        trelvo::replaceFileAtomically(file("download.dsl"), [&](const trelvo::ByteSink& put) {
            put("DSL half of it");
            (void)::write(ready[1], "r", 1);
            for (;;) ::pause();
            return true;
        });
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(filesIn(folder_), 1u);
    // Neither a cleanup nor another save in the folder takes a running save's file.
    trelvo::removeStaleTemporaryFiles(folder_.string());
    EXPECT_TRUE(replaceFileAtomically(file("trelvo.cfg"), "settings"));
    EXPECT_EQ(filesIn(folder_), 2u);

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    // The next save in the folder removes what the killed one left, not a day later.
    EXPECT_TRUE(replaceFileAtomically(file("trelvo.cfg"), "settings again"));
    EXPECT_EQ(filesIn(folder_), 1u);
    EXPECT_EQ(bytesOf(file("trelvo.cfg")), "settings again");
}

}  // namespace
