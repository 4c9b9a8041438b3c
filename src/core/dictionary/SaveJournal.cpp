#include "SaveJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "TemporaryFile.h"
#include "core/settings/ProgramFolder.h"

namespace trelvo {

namespace {

constexpr std::string_view journalMark = ".trelvo-save-";
// Ends every complete journal: "TLVOJRNL" read as a little-endian number.
constexpr std::uint64_t journalMagic = 0x4c4e524a4f564c54ull;
// After the new contents a journal holds the file's path, then its length,
// the file's old size, device and inode, and the magic, 64 bits each.
constexpr std::size_t recordNumbers = 5;
constexpr std::size_t recordFixed = recordNumbers * 8;
constexpr std::size_t copyStep = std::size_t{1} << 20;

struct Record {
    std::string path;
    std::uint64_t oldSize = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t newSize = 0;  // the journal's size less the record
};

std::string journalName(dev_t device, ino_t inode) {
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, "%llx-%llx", static_cast<unsigned long long>(device),
                  static_cast<unsigned long long>(inode));
    return std::string(journalMark) + numbers;
}

// Where the journal of target may lie, in the order a save tries them.
std::vector<std::string> journalFolders(const std::string& target) {
    const std::string user = ProgramFolder::userDataFolder();
    const char* temp = std::getenv("TMPDIR");
    std::vector<std::string> folders;
    for (std::string folder : {folderOf(target), user, std::string(temp && temp[0] == '/' ? temp : "/tmp")})
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    return folders;
}

// Only this process's user or the file's owner can have made a journal of
// the file; one made by anyone else (in a shared temporary folder) is left
// alone, and never written into the file.
bool trusted(const struct stat& journal, const struct stat* file) {
    return (journal.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
           (journal.st_uid == ::geteuid() || (file && journal.st_uid == file->st_uid));
}

// The journals left for the file at path, which need not exist.
std::vector<std::string> journalsOf(const std::string& path) {
    std::vector<std::string> journals;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return journals;
    // Beside the file itself, not beside a link to it.
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return journals;
    const std::string target = real;
    std::free(real);
    for (const std::string& folder : journalFolders(target)) {
        std::string journal = folder + "/" + journalName(info.st_dev, info.st_ino);
        struct stat found {};
        if (::lstat(journal.c_str(), &found) == 0 && S_ISREG(found.st_mode) && trusted(found, &info))
            journals.push_back(std::move(journal));
    }
    return journals;
}

void putNumber(std::string& out, std::uint64_t n) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(n >> (8 * i)));
}

std::uint64_t numberAt(const unsigned char* at) {
    std::uint64_t n = 0;
    for (int i = 7; i >= 0; --i) n = n << 8 | at[i];
    return n;
}

std::string recordOf(const std::string& target, const struct stat& old) {
    std::string record = target;
    putNumber(record, target.size());
    putNumber(record, static_cast<std::uint64_t>(old.st_size));
    putNumber(record, static_cast<std::uint64_t>(old.st_dev));
    putNumber(record, static_cast<std::uint64_t>(old.st_ino));
    putNumber(record, journalMagic);
    return record;
}

bool readAt(int fd, char* into, std::size_t size, std::uint64_t at) {
    while (size > 0) {
        ssize_t n = ::pread(fd, into, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        into += n;
        at += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAt(int fd, const char* from, std::size_t size, std::uint64_t at) {
    while (size > 0) {
        ssize_t n = ::pwrite(fd, from, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = ENOSPC;
        if (n <= 0) return false;
        from += n;
        at += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The record of a complete journal; nothing for one cut before its end.
std::optional<Record> readRecord(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) < recordFixed) return std::nullopt;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    unsigned char fixed[recordFixed];
    if (!readAt(fd, reinterpret_cast<char*>(fixed), recordFixed, size - recordFixed) ||
        numberAt(fixed + 32) != journalMagic)
        return std::nullopt;
    const std::uint64_t pathLength = numberAt(fixed);
    if (pathLength == 0 || pathLength > PATH_MAX || pathLength > size - recordFixed) return std::nullopt;
    Record record;
    record.path.resize(static_cast<std::size_t>(pathLength));
    if (!readAt(fd, record.path.data(), record.path.size(), size - recordFixed - pathLength)) return std::nullopt;
    record.oldSize = numberAt(fixed + 8);
    record.device = numberAt(fixed + 16);
    record.inode = numberAt(fixed + 24);
    record.newSize = size - recordFixed - pathLength;
    return record;
}

// Copies the bytes from..to of the journal to the same places of the file.
bool copyRange(int journal, int file, std::uint64_t from, std::uint64_t to) {
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(copyStep, to > from ? to - from : 0)));
    while (from < to) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(copyStep, to - from));
        if (!readAt(journal, buffer.data(), n, from) || !writeAt(file, buffer.data(), n, from)) return false;
        from += n;
    }
    return true;
}

// Writes the journal's contents over the file at target, which must still be
// the file of the record. old, when given, is its state before the save: a
// failure that leaves the old bytes gives them back their times as well, so
// that the file shows unchanged to a program that compares them.
ReplaceOutcome copyInto(int journal, const Record& record, const struct stat* old) {
    // Read access too, for the holes below.
    int fd = ::open(record.path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fd = ::open(record.path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    // A cut file this process may not write waits for one that may.
    if (fd < 0) return old ? ReplaceOutcome::unchanged : ReplaceOutcome::unfinished;
    struct stat now {};
    if (::fstat(fd, &now) != 0 || !S_ISREG(now.st_mode) || static_cast<std::uint64_t>(now.st_dev) != record.device ||
        static_cast<std::uint64_t>(now.st_ino) != record.inode) {
        ::close(fd);
        return ReplaceOutcome::unchanged;
    }
    // First the room the new contents take beyond the old bytes, and any hole
    // among them: a full disk or a file-size limit shows here, while every
    // old byte is still in place. Without fallocate (ext2) the holes are
    // written with their own bytes, which changes nothing, and the new tail
    // is written.
    const std::uint64_t kept = std::min(record.oldSize, record.newSize);
    bool room = record.newSize == 0 || ::fallocate(fd, 0, 0, static_cast<off_t>(record.newSize)) == 0;
    if (!room && (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)) {
        const bool sparse = static_cast<std::uint64_t>(now.st_blocks) * 512 < static_cast<std::uint64_t>(now.st_size);
        room = (!sparse || copyRange(fd, fd, 0, kept)) &&
               (record.newSize <= record.oldSize || copyRange(journal, fd, record.oldSize, record.newSize));
    }
    room = room && ::fsync(fd) == 0;
    if (!room) {
        bool restored = ::ftruncate(fd, static_cast<off_t>(record.oldSize)) == 0;
        if (old) {
            const timespec times[2] = {old->st_atim, old->st_mtim};
            ::futimens(fd, times);
        }
        restored = ::fsync(fd) == 0 && restored;
        ::close(fd);
        return restored ? ReplaceOutcome::unchanged : ReplaceOutcome::unfinished;
    }
    bool ok = copyRange(journal, fd, 0, record.newSize) &&
              ::ftruncate(fd, static_cast<off_t>(record.newSize)) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok ? ReplaceOutcome::replaced : ReplaceOutcome::unfinished;
}

// Removes the journal, unless its name has meanwhile come to another file.
void removeJournal(int fd, const std::string& journal) {
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::lstat(journal.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino && ::unlink(journal.c_str()) == 0)
        syncFolder(folderOf(journal));
}

// The new contents and the record in a locked file of folder, made the
// journal of target. -1 on failure, errno telling why.
int stage(const std::string& folder, const std::string& target, const struct stat& old, const ByteSource& source,
          std::string& journal) {
    if (folder != folderOf(target)) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
    }
    std::string temp;
    int fd = makeLockedTemporary(folder, target, temp);
    if (fd < 0) return -1;
    int error = 0;
    auto put = [&](std::string_view piece) {
        if (writeAll(fd, piece)) return true;
        error = errno;
        return false;
    };
    bool ok = source(put);
    if (!ok && error == 0) error = ECANCELED;  // the source gave up of itself
    if (ok && (!writeAll(fd, recordOf(target, old)) || ::fsync(fd) != 0)) {
        ok = false;
        error = errno;
    }
    journal = folder + "/" + journalName(old.st_dev, old.st_ino);
    // A name made only now that the journal is complete; link, unlike rename,
    // never takes the name of another save's journal.
    if (ok && ::link(temp.c_str(), journal.c_str()) != 0) {
        ok = false;
        error = errno == EEXIST ? EBUSY : errno;
    }
    ::unlink(temp.c_str());
    if (!ok) {
        ::close(fd);
        errno = error;
        return -1;
    }
    syncFolder(folder);
    return fd;
}

}  // namespace

ReplaceOutcome writeThroughJournal(const std::string& path, const ByteSource& source) {
    switch (finishInterruptedSave(path)) {
        case JournalState::none: break;
        case JournalState::running: return ReplaceOutcome::unchanged;
        case JournalState::unfinished: return ReplaceOutcome::unfinished;
    }
    // The record names the file as it is found from any folder.
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return ReplaceOutcome::unchanged;
    const std::string target = real;
    std::free(real);
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return ReplaceOutcome::unchanged;
    for (const std::string& folder : journalFolders(target)) {
        std::string journal;
        int fd = stage(folder, target, old, source, journal);
        if (fd < 0) {
            // A folder that is full, or takes no file, leaves the next one to
            // try; a file-size limit, a source that gave up or another save
            // of the file would fail there as well.
            if (errno == EFBIG || errno == ECANCELED || errno == EBUSY) return ReplaceOutcome::unchanged;
            continue;
        }
        const std::optional<Record> record = readRecord(fd);
        const ReplaceOutcome outcome = record ? copyInto(fd, *record, &old) : ReplaceOutcome::unchanged;
        if (outcome != ReplaceOutcome::unfinished) removeJournal(fd, journal);
        ::close(fd);
        return outcome;
    }
    return ReplaceOutcome::unchanged;
}

bool isJournalName(std::string_view name) {
    if (name.substr(0, journalMark.size()) != journalMark) return false;
    const std::string_view numbers = name.substr(journalMark.size());
    return !numbers.empty() && numbers.find_first_not_of("0123456789abcdef-") == std::string_view::npos;
}

JournalState finishJournal(const std::string& journal) {
    int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? JournalState::none : JournalState::unfinished;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return JournalState::unfinished;
    }
    if (holderOf(fd) == Holder::save) {
        ::close(fd);
        return JournalState::running;
    }
    ReplaceOutcome outcome = ReplaceOutcome::unchanged;
    if (const std::optional<Record> record = readRecord(fd)) {
        struct stat target {};
        const bool found = ::stat(record->path.c_str(), &target) == 0;
        if (!trusted(info, found ? &target : nullptr)) {
            ::close(fd);
            return JournalState::none;
        }
        const std::uint64_t low = std::min(record->oldSize, record->newSize);
        const std::uint64_t high = std::max(record->oldSize, record->newSize);
        // Only the file the save wrote, at a size the save can have left it
        // at, is finished; a file replaced or rewritten meanwhile is another
        // program's. One of its old size not written since the journal was
        // complete still holds its old contents (reserving room changes the
        // size, but not always the time).
        const bool same = found && S_ISREG(target.st_mode) &&
                          static_cast<std::uint64_t>(target.st_dev) == record->device &&
                          static_cast<std::uint64_t>(target.st_ino) == record->inode;
        const auto size = static_cast<std::uint64_t>(target.st_size);
        const bool untouched = size == record->oldSize &&
                               (target.st_mtim.tv_sec < info.st_mtim.tv_sec ||
                                (target.st_mtim.tv_sec == info.st_mtim.tv_sec &&
                                 target.st_mtim.tv_nsec < info.st_mtim.tv_nsec));
        const bool cut = same && size >= low && size <= high && !untouched;
        if (cut) outcome = copyInto(fd, *record, nullptr);
    }
    if (outcome != ReplaceOutcome::unfinished) removeJournal(fd, journal);
    ::close(fd);
    return outcome == ReplaceOutcome::unfinished ? JournalState::unfinished : JournalState::none;
}

JournalState finishInterruptedSave(const std::string& path) {
    JournalState worst = JournalState::none;
    for (const std::string& journal : journalsOf(path)) worst = std::max(worst, finishJournal(journal));
    return worst;
}

bool saveLeftUnfinished(const std::string& path) { return !journalsOf(path).empty(); }

}  // namespace trelvo
