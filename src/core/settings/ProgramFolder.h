#pragma once

#include <functional>
#include <string>

namespace trelvo {

// The three places the program's files may lie in, each ending in "/".
struct ProgramPlaces {
    std::string besideExecutable;  // the build folder or a portable copy
    std::string userFolder;        // $XDG_DATA_HOME/trelvo/ of the user
    std::string installedData;     // <prefix>/share/trelvo/ of an installed program
};

// Whether this process may write into a folder. Root passes access(W_OK) on
// any folder, so a folder without a single write bit counts as read-only too.
bool folderCanBeWritten(const std::string& folder);

// Decides which folder the program reads and writes (upchar.dat, DSL/,
// trelvo.cfg, net.ini, trusted-keys, download.dsl). A folder beside the executable that
// holds upchar.dat and can be written is used as it is; otherwise the program
// is installed and works in the user's folder, which the installed data seed
// at the first start and refresh later without overwriting the user's work.
class ProgramFolder {
public:
    using WritableTest = std::function<bool(const std::string& folder)>;

    explicit ProgramFolder(ProgramPlaces places, WritableTest writable = folderCanBeWritten);

    // The places of the running executable under the given environment
    // (XDG_DATA_HOME, else HOME/.local/share; either may be null).
    static ProgramPlaces placesOf(const std::string& executableFolder, const char* xdgDataHome,
                                  const char* home);
    static ProgramFolder ofRunningProgram();
    // The user's folder under this process's environment, without its
    // closing "/": where files that belong beside a file go when its own
    // folder takes none.
    static std::string userDataFolder();

    bool portable() const;

    // The folder to work in, ending in "/"; for an installed program the
    // user's folder, created, seeded or refreshed first.
    std::string prepare() const;

    // Where a file the program only reads lies: beside the executable, else
    // in the user's folder, else in the installed data. The path beside the
    // executable when none holds it, so that a message names a place.
    std::string locate(const std::string& name) const;

    // The name, in the user's folder, of the record of the upchar.dat last
    // delivered there.
    static constexpr const char* deliveredRecord = ".delivered-upchar";

private:
    void seedUserFolder() const;
    void refreshCharacterTables() const;

    ProgramPlaces places_;
    WritableTest writable_;
};

}  // namespace trelvo
