#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace trelvo {

// What the program keeps of one user's habits beside the fixed 22 bytes of
// "trelvo.cfg", in a small text file of its own, one "key=value" a line:
//   last-dictionary=cs-en.dsl
//   column-shares=400,380,220
//   match-list=hidden
// Lines with other keys are passed over, so later versions may add some.
struct UserSettings {
    // The file name, in the dictionary folder, of the dictionary used last:
    // it still names the right one after files were added before it in the menu.
    std::string lastDictionaryFile;
    // The grid's three column widths as thousandths of the grid's width, once
    // the user has dragged one; none while the layout's own apply.
    std::optional<std::array<int, 3>> columnShares;
    // The user closed the list of matches under the grid.
    bool matchListHidden = false;

    bool operator==(const UserSettings&) const = default;
};

// The least share of a column, so that a dragged-away column can be found again.
inline constexpr int leastColumnShare = 20;

// A name that stands for a file right in the dictionary folder: no folder
// part, no "." or "..", no control character, at most 255 bytes.
bool isPlainFileName(std::string_view name);

// Takes what the bytes hold over settings; values that are not sound (a path
// for a name, shares out of range or summing past the whole) are passed over.
void parseUserSettings(std::string_view bytes, UserSettings& settings);
std::string serializeUserSettings(const UserSettings& settings);

// False, changing nothing, when the file cannot be read or is larger than
// 4 KiB, which no file this program wrote is.
bool readUserSettings(const std::string& path, UserSettings& settings);
// Replaces the file atomically; false when it cannot be written.
bool writeUserSettings(const std::string& path, const UserSettings& settings);

}  // namespace trelvo
