#include "DictionaryBackups.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <tuple>

#include "AsciiText.h"
#include "AtomicFile.h"
#include "DictionaryFile.h"
#include "TemporaryFile.h"

namespace trelvo {

namespace {

constexpr std::string_view extension = ".dsl";
// Bytes copied at once.
constexpr std::size_t copyStep = std::size_t{1} << 20;
// Names tried for one copy before giving up: others are made meanwhile only
// by another program backing up the same dictionary in the same second.
constexpr unsigned maxSequence = 1000;

std::string stemOf(const std::string& dictionaryPath) {
    std::string name = nameOf(dictionaryPath);
    if (endsWithIgnoringCase(name, extension)) name.resize(name.size() - extension.size());
    return name;
}

// The digits of text as a number; nothing unless all of them are digits.
std::optional<int> digits(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The time and sequence in the name of a backup of the dictionary whose name
// without ".dsl" is stem; nothing for any other name.
std::optional<DictionaryBackup> parseBackupName(std::string_view name, std::string_view stem) {
    // stem "." YYYYMMDD "-" HHMMSS ["-" N] ".dsl"
    if (name.size() < stem.size() + 1 + 15 + extension.size() || name.substr(0, stem.size()) != stem ||
        name[stem.size()] != '.' || name.substr(name.size() - extension.size()) != extension)
        return std::nullopt;
    std::string_view rest = name.substr(stem.size() + 1, name.size() - stem.size() - 1 - extension.size());
    if (rest[8] != '-') return std::nullopt;
    DictionaryBackup backup;
    const auto field = [&](std::size_t at, std::size_t length, int& out) {
        const std::optional<int> value = digits(rest.substr(at, length));
        if (value) out = *value;
        return value.has_value();
    };
    if (!field(0, 4, backup.year) || !field(4, 2, backup.month) || !field(6, 2, backup.day) ||
        !field(9, 2, backup.hour) || !field(11, 2, backup.minute) || !field(13, 2, backup.second))
        return std::nullopt;
    if (rest.size() > 15) {
        // A sequence as the copy names it: "-2" onwards, without leading zeros.
        const bool named = rest.size() >= 17 && rest.size() <= 20 && rest[15] == '-' && rest[16] != '0';
        const std::optional<int> sequence = named ? digits(rest.substr(16)) : std::nullopt;
        if (!sequence || *sequence < 2) return std::nullopt;
        backup.sequence = static_cast<unsigned>(*sequence);
    }
    return backup;
}

bool newerFirst(const DictionaryBackup& a, const DictionaryBackup& b) {
    return std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second, b.sequence) <
           std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second, a.sequence);
}

// A descriptor of the backup folder when it is a real folder, not a symlink.
int openFolder(const std::string& folder) {
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The entry count of the regular file name in the folder at dir, reading its header only.
std::optional<std::uint32_t> entryCountOf(int dir, const std::string& name) {
    const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<std::uint32_t> count;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::string head(std::min<std::uint64_t>(maxHeadLength, static_cast<std::uint64_t>(info.st_size)), '\0');
        std::size_t got = 0;
        while (got < head.size()) {
            const ssize_t n = ::pread(fd, head.data() + got, head.size() - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        head.resize(got);
        count = parseEntryCount(head, static_cast<std::uint64_t>(info.st_size));
    }
    ::close(fd);
    return count;
}

// The names in the folder at dir.
std::vector<std::string> namesIn(int dir) {
    std::vector<std::string> names;
    const int listed = ::dup(dir);
    DIR* stream = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!stream) {
        if (listed >= 0) ::close(listed);
        return names;
    }
    // The copy shares its position with dir, which an earlier listing left at the end.
    ::rewinddir(stream);
    while (const dirent* item = ::readdir(stream)) names.emplace_back(item->d_name);
    ::closedir(stream);
    return names;
}

// The backups of stem in the folder at dir, their paths under folder, newest first.
std::vector<DictionaryBackup> backupsIn(int dir, const std::string& folder, const std::string& stem,
                                        bool withCounts) {
    std::vector<DictionaryBackup> found;
    for (const std::string& name : namesIn(dir)) {
        std::optional<DictionaryBackup> backup = parseBackupName(name, stem);
        struct stat info {};
        if (!backup || ::fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        backup->path = folder + "/" + name;
        if (withCounts) backup->entryCount = entryCountOf(dir, name);
        found.push_back(std::move(*backup));
    }
    std::sort(found.begin(), found.end(), newerFirst);
    return found;
}

bool copyAll(int from, int to) {
    std::string buffer(copyStep, '\0');
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(to, std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
    }
}

std::string backupName(const std::string& stem, const std::string& stamp, unsigned sequence) {
    return stem + "." + stamp + (sequence > 1 ? "-" + std::to_string(sequence) : std::string()) +
           std::string(extension);
}

// Gives the finished copy at temp the name for the second now, numbered
// after every name of that second in the folder (whatever it is, and whether
// or not rotation removed an older copy), so that the newest copy has the
// highest number. Never replaces a file, nor follows a symlink, already there.
bool nameCopy(int dir, const std::string& folder, const std::string& temp, const std::string& stem,
              std::time_t now, std::string& named) {
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    unsigned sequence = 1;
    for (const std::string& name : namesIn(dir))
        if (name.size() > stem.size() + 1 + 15 && name.compare(stem.size() + 1, 15, stamp) == 0)
            if (const std::optional<DictionaryBackup> other = parseBackupName(name, stem))
                sequence = std::max(sequence, other->sequence + 1);
    for (const unsigned last = sequence + maxSequence; sequence < last; ++sequence) {
        named = folder + "/" + backupName(stem, stamp, sequence);
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, named.c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno == EINVAL) {
            // A file system that cannot rename without replacing: a hard
            // link fails on a name that is there as well.
            if (::link(temp.c_str(), named.c_str()) == 0) {
                ::unlink(temp.c_str());
                return true;
            }
        }
        if (errno != EEXIST) return false;
    }
    errno = EEXIST;
    return false;
}

}  // namespace

std::string backupFolderOf(const std::string& dictionaryPath) {
    return folderOf(dictionaryPath) + "/" + std::string(backupFolderName);
}

BackupResult backUpDictionary(const std::string& dictionaryPath, std::time_t now) {
    BackupResult result;
    const auto fail = [&result] {
        result.outcome = BackupOutcome::failed;
        result.error = errno;
        return result;
    };
    const int source = ::open(dictionaryPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (source < 0) {
        if (errno != ENOENT) return fail();
        result.outcome = BackupOutcome::nothingToCopy;
        return result;
    }
    struct stat info {};
    if (::fstat(source, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (S_ISREG(info.st_mode) == 0 && info.st_mode != 0) errno = EINVAL;
        ::close(source);
        return fail();
    }
    const std::string folder = backupFolderOf(dictionaryPath);
    // mkdir does not follow a symlink standing at the name, and the open
    // below refuses one.
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        ::close(source);
        return fail();
    }
    const int dir = openFolder(folder);
    if (dir < 0) {
        ::close(source);
        return fail();
    }
    // Copies cut by a kill would take room meant for this one.
    removeStaleTemporaryFiles(folder);
    const std::string stem = stemOf(dictionaryPath);
    std::string temp;
    const int target = makeLockedTemporary(folder, folder + "/" + stem + std::string(extension), temp);
    bool copied = false;
    if (target >= 0) {
        ::fchmod(target, info.st_mode & 0666);
        copied = copyAll(source, target) && ::fsync(target) == 0 &&
                 nameCopy(dir, folder, temp, stem, now, result.path);
        const int error = errno;
        if (!copied) ::unlink(temp.c_str());
        ::close(target);
        errno = error;
    }
    ::close(source);
    if (!copied) {
        ::close(dir);
        return fail();
    }
    ::fsync(dir);
    // The oldest beyond the kept ones go; the copy just made stays even when
    // the clock was set back behind older ones.
    const std::vector<DictionaryBackup> all = backupsIn(dir, folder, stem, false);
    for (std::size_t i = keptBackups; i < all.size(); ++i)
        if (all[i].path != result.path) ::unlinkat(dir, nameOf(all[i].path).c_str(), 0);
    ::close(dir);
    result.outcome = BackupOutcome::made;
    return result;
}

std::vector<DictionaryBackup> listBackups(const std::string& dictionaryPath) {
    const std::string folder = backupFolderOf(dictionaryPath);
    const int dir = openFolder(folder);
    if (dir < 0) return {};
    std::vector<DictionaryBackup> found = backupsIn(dir, folder, stemOf(dictionaryPath), true);
    ::close(dir);
    return found;
}

}  // namespace trelvo
