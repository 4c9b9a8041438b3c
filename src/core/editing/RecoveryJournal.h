#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "DictionaryChange.h"
#include "core/dictionary/FileIdentity.h"

namespace trelvo {

// The unsaved changes of an open dictionary, kept on the disk as they happen,
// so that a program killed or crashed loses none of them. The journal of the
// dictionary file NAME.dsl is ".NAME.dsl.trelvo-journal" in the file's own
// folder, or, when that folder takes no new file, a name with a hash of the
// file's path in the user's data folder ($XDG_DATA_HOME/trelvo). A second
// window on the same file takes the next free name ("…-journal-2" and on).
//
// A journal begins with the file's path and identity, the state of the file
// its changes apply to, and goes on with one record per change: its length,
// a checksum, then the change. A record cut by a crash fails its length or
// its checksum and is dropped, with whatever follows it; the whole records
// before it stay. The running window holds its journal locked, so that a
// journal found unlocked was left by a program that ended without saving.

// What a journal holds.
struct RecoveryJournalContents {
    std::string dictionaryPath;  // the file's real path
    FileIdentity identity;       // the state of the file the changes apply to
    std::vector<DictionaryChange> changes;
    bool cut = false;            // a broken record, and anything behind it, was dropped
};

// The journal in bytes; nothing when its beginning is no journal's. Reads
// only within bytes and allocates no more than bytes holds, whatever the
// lengths and counts in it say.
std::optional<RecoveryJournalContents> parseRecoveryJournal(std::string_view bytes);

// The bytes of a journal: its beginning, then the records of changes.
std::string journalBeginning(const std::string& dictionaryPath, const FileIdentity& identity);
std::string journalRecord(const DictionaryChange& change);

// The journal a window writes for its open dictionary.
class RecoveryJournal {
public:
    RecoveryJournal() = default;
    // The file stays: only a save or the user's "Ne" removes it.
    ~RecoveryJournal();
    RecoveryJournal(const RecoveryJournal&) = delete;
    RecoveryJournal& operator=(const RecoveryJournal&) = delete;

    // A journal of the dictionary at path, whose file is now in state
    // identity, without changes yet; the journal before it is removed. The
    // file is made at the first change.
    void begin(const std::string& path, const FileIdentity& identity);
    // Writes change behind the others at once. Where no journal file can be
    // made or written (a full disk), the changes from then on are kept in
    // memory, and false says that a crash would lose them.
    bool append(const DictionaryChange& change);
    // The changes so far now apply to the file in state identity: they were
    // merged into another program's save of it. The journal with the new
    // state is complete before the old one goes.
    void rebase(const FileIdentity& identity);
    // Makes what was written last through a power cut.
    void sync();
    // Removes the journal's file: the changes were saved or thrown away.
    void discard();

    std::size_t size() const { return count_; }
    // The changes since begin, read back.
    std::vector<DictionaryChange> changes() const;
    // The journal's file, empty while it has none.
    const std::string& file() const { return file_; }

private:
    bool create();
    void close();

    std::string dictionary_;
    FileIdentity identity_;
    std::string file_;
    int fd_ = -1;
    std::size_t written_ = 0;  // bytes of whole records in the file
    std::string memory_;       // records no file took
    std::size_t count_ = 0;
    bool unsynced_ = false;
};

// A journal left by a program that ended without saving the dictionary.
struct LeftJournal {
    std::string file;
    RecoveryJournalContents contents;
};

// The journals left for the dictionary at path: the user's own, naming that
// file, held by no running window, with a readable beginning. Any other file
// at a journal's name is left alone.
std::vector<LeftJournal> leftJournals(const std::string& path);

// Removes a journal that leftJournals found, unless a window holds it by now.
void removeLeftJournal(const std::string& file);

}  // namespace trelvo
