#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo {

// Copies of a dictionary file as it was before a large change was saved over
// it. They lie in a hidden folder beside the file, which the catalogue does
// not look into, named NAME.YYYYMMDD-HHMMSS.dsl by the local time of the
// copy, NAME being the file's name without ".dsl" (in any letter case). A
// second copy within the same second is NAME.YYYYMMDD-HHMMSS-2.dsl, a third
// -3, and so on, so that none overwrites another. The newest keptBackups of
// each dictionary stay; those of other dictionaries in the folder are not
// touched. Only regular files count: a symlink or anything else bearing a
// backup's name is neither followed, listed nor removed.

constexpr std::string_view backupFolderName = ".trelvo-backups";
constexpr std::size_t keptBackups = 5;
// An import that adds more entries than this is a large change.
constexpr std::size_t largeImport = 100;

// The folder that holds the backups of the dictionary at path.
std::string backupFolderOf(const std::string& dictionaryPath);

enum class BackupOutcome {
    made,
    nothingToCopy,  // the dictionary has no file yet
    failed,         // nothing was copied; error says why
};

struct BackupResult {
    BackupOutcome outcome = BackupOutcome::failed;
    std::string path;  // the copy made
    int error = 0;     // the errno of a failure
};

// Copies the dictionary file as it is now into its backup folder (made when
// missing) under the name for the local time now, then removes the oldest of
// its backups beyond keptBackups. The copy is written to a temporary file,
// flushed and only then given its name, so that a backup is never found half
// written. A backup folder that is a symlink or no folder is refused.
BackupResult backUpDictionary(const std::string& dictionaryPath, std::time_t now);

struct DictionaryBackup {
    std::string path;
    // The local time in the name.
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    unsigned sequence = 1;  // the how-manieth copy within that second
    // The number of entries its header gives; nothing when it cannot be read
    // as a dictionary.
    std::optional<std::uint32_t> entryCount;
};

// The backups of the dictionary at path, newest first, each read only as far
// as its header.
std::vector<DictionaryBackup> listBackups(const std::string& dictionaryPath);

}  // namespace trelvo
