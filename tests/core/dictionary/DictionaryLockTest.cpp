// Two writers of one dictionary take turns, also when the first one's save
// replaces the file the second one waits for.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/DictionaryLock.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using trelvo::DictionaryLock;
using Outcome = trelvo::DictionaryLock::Outcome;

namespace {

constexpr std::chrono::milliseconds noWait{0};
// Far longer than any test needs; it only keeps a broken lock from hanging the run.
constexpr std::chrono::milliseconds safetyWait{20000};

class DictionaryLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (folder_ / "a.dsl").string();
        std::ofstream(path_) << "old";
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-lock"};
    fs::path folder_ = temporary_.path();
    std::string path_;
};

}  // namespace

TEST_F(DictionaryLockTest, ASecondWriterIsKeptOutUntilTheFirstLetsGo) {
    DictionaryLock first, second;
    ASSERT_EQ(first.lock(path_, noWait), Outcome::locked);
    EXPECT_EQ(second.lock(path_, noWait), Outcome::busy);
    EXPECT_EQ(second.lock(path_, std::chrono::milliseconds(30)), Outcome::busy);
    // Another name of the same file meets the same lock.
    fs::create_symlink(path_, folder_ / "link.dsl");
    EXPECT_EQ(second.lock((folder_ / "link.dsl").string(), noWait), Outcome::busy);
    first.release();
    EXPECT_EQ(second.lock(path_, noWait), Outcome::locked);
    {
        DictionaryLock scoped;
        EXPECT_EQ(scoped.lock(path_, noWait), Outcome::busy);
    }
    second.release();
    EXPECT_EQ(first.lock(path_, noWait), Outcome::locked) << "a lock goes with its holder";
}

TEST_F(DictionaryLockTest, NoFileUnderTheNameLeavesNothingToGuard) {
    DictionaryLock lock;
    EXPECT_EQ(lock.lock((folder_ / "missing.dsl").string(), noWait), Outcome::unguarded);
    fs::create_directory(folder_ / "folder.dsl");
    EXPECT_EQ(lock.lock((folder_ / "folder.dsl").string(), noWait), Outcome::unguarded);
    EXPECT_FALSE(fs::exists(folder_ / "missing.dsl")) << "taking a lock creates no file";
}

TEST_F(DictionaryLockTest, AWaiterLocksTheFileThatReplacedTheOneItWaitedFor) {
    DictionaryLock first;
    ASSERT_EQ(first.lock(path_, noWait), Outcome::locked);
    std::atomic<bool> started{false};
    Outcome waited = Outcome::unguarded;
    DictionaryLock second;
    std::thread waiter([&] {
        started = true;
        waited = second.lock(path_, safetyWait);
    });
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let it reach the wait
    // The first writer saves as every save does, by rename, and lets go.
    ASSERT_TRUE(trelvo::replaceFileAtomically(path_, "new"));
    first.release();
    waiter.join();
    EXPECT_EQ(waited, Outcome::locked);
    // Holding the lock of the replaced file would guard nothing: a third
    // writer would get in beside the second.
    DictionaryLock third;
    EXPECT_EQ(third.lock(path_, noWait), Outcome::busy);
}

TEST_F(DictionaryLockTest, ReadersShareTheLockButNeverWithAWriter) {
    using Access = DictionaryLock::Access;
    DictionaryLock first, second, writer;
    ASSERT_EQ(first.lock(path_, noWait, Access::read), Outcome::locked);
    EXPECT_EQ(second.lock(path_, noWait, Access::read), Outcome::locked);
    EXPECT_EQ(writer.lock(path_, noWait), Outcome::busy);
    first.release();
    EXPECT_EQ(writer.lock(path_, noWait), Outcome::busy) << "one reader is still there";
    second.release();
    ASSERT_EQ(writer.lock(path_, noWait), Outcome::locked);
    EXPECT_EQ(first.lock(path_, noWait, Access::read), Outcome::busy);
}
