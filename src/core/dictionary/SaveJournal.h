#pragma once

#include <string>
#include <string_view>

#include "AtomicFile.h"

namespace trelvo {

// A file that must keep its inode (it has other hard links, or its folder
// takes no new file) is overwritten in place, which a crash or a full disk
// could cut. So the new contents are first written whole and synced to a
// journal elsewhere, which records the file it belongs to and its old size:
// beside the file when its folder takes new files, else in the user's data
// folder ($XDG_DATA_HOME/trelvo), else in the temporary folder. Only then is
// the file overwritten: first the room it grows by is taken (reserved, or
// written with the new tail), which is where a full disk shows, and the file
// is cut back to its old bytes and times if that fails; then the rest. A save
// cut after the journal was complete is finished from it when the file is
// next opened, or when a cleanup meets the journal, once no save holds it.
//
// So a crash or a full disk leaves the old contents or, after the finishing,
// the new ones. The journal is locked by its save while it runs; its name is
// ".trelvo-save-" + the file's device and inode in hexadecimal.

// Overwrites the regular file target with the bytes of source. A cut save
// of it left before is finished first; while that cannot be, nothing is
// written (the outcome is unfinished), nor while another save runs.
ReplaceOutcome writeThroughJournal(const std::string& target, const ByteSource& source);

enum class JournalState {
    none,        // no save of the file is left to finish
    running,     // a save holds the journal: it is writing the file now
    unfinished,  // a cut save could not be finished (yet)
};

// Finishes a cut save of the file at path from its journal, if one is left
// and no save holds it.
JournalState finishInterruptedSave(const std::string& path);

// Whether a cut save of the file at path waits to be finished.
bool saveLeftUnfinished(const std::string& path);

bool isJournalName(std::string_view name);
// Finishes the save of the journal at path, or removes a journal that no
// longer belongs to its file.
JournalState finishJournal(const std::string& journal);

}  // namespace trelvo
