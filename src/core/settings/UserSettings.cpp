#include "UserSettings.h"

#include <sstream>

#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/WholeFile.h"

namespace trelvo {

namespace {

// A settings file is a few lines; anything larger is no settings file.
constexpr std::size_t settingsLimit = 64 * 1024;

}  // namespace

UserSettings readUserSettings(const std::string& path) {
    UserSettings settings;
    std::string bytes;
    if (!readWholeFile(path, bytes, settingsLimit)) return settings;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "matchList=hidden") settings.matchListHidden = true;
        if (line == "matchList=shown") settings.matchListHidden = false;
    }
    return settings;
}

bool writeUserSettings(const std::string& path, const UserSettings& settings) {
    return replaceFileAtomically(path, std::string("matchList=") + (settings.matchListHidden ? "hidden" : "shown") + "\n");
}

}  // namespace trelvo
