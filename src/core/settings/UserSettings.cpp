#include "UserSettings.h"

#include <charconv>

#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/WholeFile.h"

namespace trelvo {

namespace {

constexpr std::size_t largestFile = 4096;
constexpr std::string_view lastDictionaryKey = "last-dictionary";
constexpr std::string_view columnSharesKey = "column-shares";
constexpr std::string_view matchListKey = "match-list";

std::optional<std::array<int, 3>> parseShares(std::string_view value) {
    std::array<int, 3> shares{};
    int sum = 0;
    const char* at = value.data();
    const char* end = value.data() + value.size();
    for (std::size_t i = 0; i < shares.size(); ++i) {
        if (i > 0) {
            if (at == end || *at != ',') return std::nullopt;
            ++at;
        }
        const auto [next, error] = std::from_chars(at, end, shares[i]);
        if (error != std::errc() || shares[i] < leastColumnShare || shares[i] > 1000) return std::nullopt;
        sum += shares[i];
        at = next;
    }
    if (at != end || sum > 1000) return std::nullopt;
    return shares;
}

}  // namespace

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

void parseUserSettings(std::string_view bytes, UserSettings& settings) {
    while (!bytes.empty()) {
        const std::size_t lineEnd = bytes.find('\n');
        std::string_view line = bytes.substr(0, lineEnd);
        bytes = lineEnd == std::string_view::npos ? std::string_view() : bytes.substr(lineEnd + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        if (key == lastDictionaryKey && isPlainFileName(value)) settings.lastDictionaryFile = value;
        if (key == columnSharesKey)
            if (auto shares = parseShares(value)) settings.columnShares = shares;
        if (key == matchListKey) settings.matchListHidden = value == "hidden";
    }
}

std::string serializeUserSettings(const UserSettings& settings) {
    std::string text;
    if (isPlainFileName(settings.lastDictionaryFile))
        text += std::string(lastDictionaryKey) + "=" + settings.lastDictionaryFile + "\n";
    if (settings.columnShares) {
        const auto& s = *settings.columnShares;
        text += std::string(columnSharesKey) + "=" + std::to_string(s[0]) + "," + std::to_string(s[1]) + "," +
                std::to_string(s[2]) + "\n";
    }
    if (settings.matchListHidden) text += std::string(matchListKey) + "=hidden\n";
    return text;
}

bool readUserSettings(const std::string& path, UserSettings& settings) {
    std::string bytes;
    if (!readWholeFile(path, bytes, largestFile)) return false;
    parseUserSettings(bytes, settings);
    return true;
}

bool writeUserSettings(const std::string& path, const UserSettings& settings) {
    return replaceFileAtomically(path, serializeUserSettings(settings));
}

}  // namespace trelvo
