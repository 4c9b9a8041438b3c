#pragma once

#include <string>

namespace trelvo {

// What the user chose in the window beyond what trelvo.cfg keeps, which other
// programs read and write in a layout of their own: "trelvo-user.ini" in the
// program's folder, one "name=value" a line.
struct UserSettings {
    bool matchListHidden = false;

    static constexpr const char* fileName = "trelvo-user.ini";
};

// The settings in the file at path; the defaults for a missing or unreadable
// file and for lines it does not know.
UserSettings readUserSettings(const std::string& path);
// Replaces the file atomically; false when it cannot be written.
bool writeUserSettings(const std::string& path, const UserSettings& settings);

}  // namespace trelvo
