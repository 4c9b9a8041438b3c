#include "RecoveryJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "core/dictionary/TemporaryFile.h"
#include "core/settings/ProgramFolder.h"

namespace trelvo {

namespace {

constexpr std::string_view magic = "TRELVOJ1";
constexpr std::string_view journalEnding = ".trelvo-journal";
// Windows on one file at the same time, each with a journal of its own.
constexpr int namesPerFolder = 8;
// A record's length and checksum.
constexpr std::size_t frame = 8;
// The largest journal read back: twice the largest dictionary, removed and added.
constexpr std::uint64_t journalLimit = std::uint64_t{1} << 31;

std::uint32_t checksum(std::string_view bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put32(std::string& out, std::uint32_t n) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(n >> (8 * i)));
}

void put64(std::string& out, std::uint64_t n) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(n >> (8 * i)));
}

void putText(std::string& out, std::string_view text) {
    put32(out, static_cast<std::uint32_t>(text.size()));
    out.append(text);
}

void putHeader(std::string& out, const DictionaryHeader& h) {
    for (const std::string* text : {&h.name, &h.languageName[0], &h.languageName[1], &h.languageImage[0],
                                    &h.languageImage[1], &h.author, &h.version, &h.note, &h.updateStamp,
                                    &h.idAndAccessCode})
        putText(out, *text);
    for (std::int32_t charset : h.languageCharset) put32(out, static_cast<std::uint32_t>(charset));
}

void putEntries(std::string& out, const EntryList& entries, const std::vector<std::uint32_t>& numbers) {
    put32(out, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        put32(out, i < numbers.size() ? numbers[i] : 0);
        put32(out, entries.flags(i));
        for (int k = 0; k < 3; ++k) putText(out, entries.text(i, k));
    }
}

std::string framed(const std::string& body) {
    std::string out;
    out.reserve(frame + body.size());
    put32(out, static_cast<std::uint32_t>(body.size()));
    put32(out, checksum(body));
    out += body;
    return out;
}

// Reads numbers and texts from the front of bytes; once anything is missing
// it stays failed and gives nothing more.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest_(bytes) {}

    bool ok() const { return ok_; }
    bool atEnd() const { return ok_ && rest_.empty(); }
    std::size_t left() const { return rest_.size(); }

    std::string_view take(std::size_t n) {
        if (!ok_ || n > rest_.size()) {
            ok_ = false;
            return {};
        }
        std::string_view piece = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return piece;
    }
    std::uint64_t number(int bytes) {
        const std::string_view piece = take(static_cast<std::size_t>(bytes));
        std::uint64_t n = 0;
        for (int i = static_cast<int>(piece.size()) - 1; i >= 0; --i)
            n = n << 8 | static_cast<unsigned char>(piece[static_cast<std::size_t>(i)]);
        return n;
    }
    std::uint32_t u32() { return static_cast<std::uint32_t>(number(4)); }
    std::uint64_t u64() { return number(8); }
    std::string_view text() { return take(u32()); }
    // The body of the next record; fails for a cut one or one whose bytes
    // are not the ones its checksum was taken of.
    std::string_view record() {
        const std::uint32_t length = u32();
        const std::uint32_t sum = u32();
        const std::string_view body = take(length);
        if (ok_ && checksum(body) != sum) ok_ = false;
        return body;
    }

private:
    std::string_view rest_;
    bool ok_ = true;
};

DictionaryHeader readHeader(Reader& in) {
    DictionaryHeader h;
    for (std::string* text : {&h.name, &h.languageName[0], &h.languageName[1], &h.languageImage[0],
                              &h.languageImage[1], &h.author, &h.version, &h.note, &h.updateStamp,
                              &h.idAndAccessCode})
        *text = in.text();
    for (std::int32_t& charset : h.languageCharset) charset = static_cast<std::int32_t>(in.u32());
    return h;
}

// The count is trusted only as far as entries follow. The numbers are taken
// as written: the checksum tells damage, and a replay copes with any.
void readEntries(Reader& in, EntryList& entries, std::vector<std::uint32_t>& numbers) {
    const std::uint32_t count = in.u32();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        const std::uint32_t number = in.u32();
        const std::uint32_t flags = in.u32();
        const std::string_view term = in.text();
        const std::string_view translation = in.text();
        const std::string_view note = in.text();
        if (!in.ok()) return;
        entries.append(term, translation, note, flags);
        numbers.push_back(number);
    }
}

std::optional<DictionaryChange> readChange(std::string_view body) {
    Reader in(body);
    DictionaryChange change;
    const auto kind = static_cast<std::uint32_t>(in.number(1));
    if (kind > static_cast<std::uint32_t>(ChangeKind::merged)) return std::nullopt;
    change.kind = static_cast<ChangeKind>(kind);
    const auto headers = in.number(1);
    if (headers > 3) return std::nullopt;
    if (headers & 1) change.headerBefore = readHeader(in);
    if (headers & 2) change.headerAfter = readHeader(in);
    readEntries(in, change.removed, change.removedNumbers);
    readEntries(in, change.added, change.addedNumbers);
    if (!in.atEnd()) return std::nullopt;
    return change;
}

std::optional<RecoveryJournalContents> readBeginning(Reader& in) {
    if (in.take(magic.size()) != magic) return std::nullopt;
    Reader beginning(in.record());
    RecoveryJournalContents contents;
    contents.dictionaryPath = beginning.text();
    FileIdentity& id = contents.identity;
    id.exists = beginning.number(1) != 0;
    id.device = beginning.u64();
    id.inode = beginning.u64();
    id.size = static_cast<std::int64_t>(beginning.u64());
    id.modifiedSeconds = static_cast<std::int64_t>(beginning.u64());
    id.modifiedNanoseconds = static_cast<std::int64_t>(beginning.u64());
    if (!in.ok() || !beginning.atEnd() || contents.dictionaryPath.empty()) return std::nullopt;
    return contents;
}

// The changes of the records in bytes, up to the first broken one; false
// when one was broken.
bool readRecords(std::string_view bytes, std::vector<DictionaryChange>& changes) {
    Reader in(bytes);
    while (!in.atEnd()) {
        const std::string_view body = in.record();
        std::optional<DictionaryChange> change;
        if (in.ok()) change = readChange(body);
        if (!change) return false;
        changes.push_back(std::move(*change));
    }
    return true;
}

std::string realPathOf(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string result = real;
    std::free(real);
    return result;
}

// The names a journal of the file at the real path target may have, in the
// order a window tries them.
std::vector<std::string> journalNames(const std::string& target) {
    const std::string name = nameOf(target);
    // Dictionaries of one name in several folders each have their own.
    char hex[12];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(checksum(target)));
    const std::string beside = folderOf(target) + "/." + name + std::string(journalEnding);
    const std::string user = ProgramFolder::userDataFolder() + "/." + name + "." + hex + std::string(journalEnding);
    std::vector<std::string> names;
    for (const std::string& first : {beside, user})
        for (int k = 1; k <= namesPerFolder; ++k) names.push_back(k == 1 ? first : first + "-" + std::to_string(k));
    return names;
}

bool readAll(int fd, std::string& bytes, std::uint64_t from, std::uint64_t to) {
    if (to < from || to - from > journalLimit) return false;
    bytes.resize(static_cast<std::size_t>(to - from));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(from + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Removes the journal open at fd, unless its name has meanwhile come to
// another file.
void unlinkIfHeld(int fd, const std::string& file) {
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::lstat(file.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino && ::unlink(file.c_str()) == 0)
        syncFolder(folderOf(file));
}

}  // namespace

std::optional<RecoveryJournalContents> parseRecoveryJournal(std::string_view bytes) {
    Reader in(bytes);
    std::optional<RecoveryJournalContents> contents = readBeginning(in);
    if (!contents) return std::nullopt;
    contents->cut = !readRecords(bytes.substr(bytes.size() - in.left()), contents->changes);
    return contents;
}

std::string journalBeginning(const std::string& dictionaryPath, const FileIdentity& identity) {
    std::string body;
    putText(body, dictionaryPath);
    body.push_back(identity.exists ? 1 : 0);
    put64(body, identity.device);
    put64(body, identity.inode);
    put64(body, static_cast<std::uint64_t>(identity.size));
    put64(body, static_cast<std::uint64_t>(identity.modifiedSeconds));
    put64(body, static_cast<std::uint64_t>(identity.modifiedNanoseconds));
    return std::string(magic) + framed(body);
}

std::string journalRecord(const DictionaryChange& change) {
    std::string body;
    body.push_back(static_cast<char>(change.kind));
    body.push_back(static_cast<char>((change.headerBefore ? 1 : 0) | (change.headerAfter ? 2 : 0)));
    if (change.headerBefore) putHeader(body, *change.headerBefore);
    if (change.headerAfter) putHeader(body, *change.headerAfter);
    putEntries(body, change.removed, change.removedNumbers);
    putEntries(body, change.added, change.addedNumbers);
    return framed(body);
}

RecoveryJournal::~RecoveryJournal() { close(); }

void RecoveryJournal::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void RecoveryJournal::begin(const std::string& path, const FileIdentity& identity) {
    discard();
    dictionary_ = realPathOf(path);
    if (dictionary_.empty()) dictionary_ = path;
    identity_ = identity;
}

bool RecoveryJournal::create() {
    const std::string beginning = journalBeginning(dictionary_, identity_);
    for (const std::string& name : journalNames(dictionary_)) {
        const std::string folder = folderOf(name);
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        std::string temp;
        // Locked from the start: a window opening the file now must not take
        // a journal still in use for a crash's leftover.
        const int fd = makeLockedTemporary(folder, dictionary_, temp);
        if (fd < 0) continue;  // a folder that takes no file: the next one
        const bool ok = writeAll(fd, beginning) && ::fsync(fd) == 0;
        // Only a free name is taken; link, unlike rename, takes no other's.
        const bool named = ok && ::link(temp.c_str(), name.c_str()) == 0;
        const int error = errno;
        ::unlink(temp.c_str());
        if (named) {
            syncFolder(folder);
            fd_ = fd;
            file_ = name;
            written_ = beginning.size();
            return true;
        }
        ::close(fd);
        if (ok && error == EEXIST) continue;  // another window's, or one left
    }
    return false;
}

bool RecoveryJournal::append(const DictionaryChange& change) {
    if (dictionary_.empty()) return false;
    const std::string record = journalRecord(change);
    ++count_;
    if (memory_.empty() && (fd_ >= 0 || (file_.empty() && create()))) {
        if (writeAll(fd_, record)) {
            written_ += record.size();
            unsynced_ = true;
            return true;
        }
        // The file keeps its whole records; this one and those behind it
        // wait in memory.
        if (::ftruncate(fd_, static_cast<off_t>(written_)) == 0) ::lseek(fd_, 0, SEEK_END);
    }
    memory_ += record;
    return false;
}

void RecoveryJournal::rebase(const FileIdentity& identity) {
    const std::vector<DictionaryChange> kept = changes();
    const int oldFd = fd_;
    const std::string oldFile = file_;
    fd_ = -1;
    file_.clear();
    memory_.clear();
    count_ = 0;
    identity_ = identity;
    for (const DictionaryChange& change : kept) append(change);
    sync();
    if (oldFd >= 0) {
        unlinkIfHeld(oldFd, oldFile);
        ::close(oldFd);
    }
}

void RecoveryJournal::sync() {
    if (!unsynced_ || fd_ < 0) return;
    ::fdatasync(fd_);
    unsynced_ = false;
}

void RecoveryJournal::discard() {
    if (fd_ >= 0) unlinkIfHeld(fd_, file_);
    close();
    file_.clear();
    written_ = 0;
    memory_.clear();
    count_ = 0;
    unsynced_ = false;
}

std::vector<DictionaryChange> RecoveryJournal::changes() const {
    std::vector<DictionaryChange> changes;
    std::string bytes;
    if (fd_ >= 0 && readAll(fd_, bytes, 0, written_))
        if (std::optional<RecoveryJournalContents> contents = parseRecoveryJournal(bytes))
            changes = std::move(contents->changes);
    readRecords(memory_, changes);
    return changes;
}

std::vector<LeftJournal> leftJournals(const std::string& path) {
    std::vector<LeftJournal> found;
    const std::string target = realPathOf(path);
    if (target.empty()) return found;
    for (const std::string& name : journalNames(target)) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        // Only the user's own journal, which no one else could have written
        // into; and none that a running window holds.
        const bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
                            (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 && holderOf(fd) != Holder::save;
        std::string bytes;
        if (usable && readAll(fd, bytes, 0, static_cast<std::uint64_t>(info.st_size))) {
            std::optional<RecoveryJournalContents> contents = parseRecoveryJournal(bytes);
            if (contents && contents->dictionaryPath == target) found.push_back({name, std::move(*contents)});
        }
        ::close(fd);
    }
    return found;
}

void removeLeftJournal(const std::string& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    if (holderOf(fd) != Holder::save) unlinkIfHeld(fd, file);
    ::close(fd);
}

}  // namespace trelvo
