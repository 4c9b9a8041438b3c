// Any autoupdt.cfg a location serves must be read without a fault: its lines,
// the edition found for a dictionary and the stamp made from its date.
// The first 4 bytes are the ID looked for (little-endian), the rest the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/update/UpdateCheck.h"

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void checkWord(const std::string& word) {
    if (word.empty() || word.size() > trelvo::maxUpdateTextLength) std::abort();
    for (char c : word)
        if (isSpace(c) || c == '\0') std::abort();
}

// The stamp as the C library's scan reads the same text, where that reading
// is defined: no NUL (the scan would stop there) and no number too long for int.
std::optional<std::string> scannedStamp(std::string_view date, std::string_view time) {
    std::string joined = std::string(date) + " " + std::string(time);
    std::size_t run = 0;
    for (char& c : joined) {
        if (c == '\0') return std::nullopt;
        run = isDigit(c) ? run + 1 : 0;
        if (run > 9) return std::nullopt;
        if (c == '.' || c == ':') c = ' ';
    }
    int v[5] = {0, 0, 0, 0, 0};
    std::sscanf(joined.c_str(), "%d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4]);
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d", v[2], v[1], v[0], v[3], v[4]);
    return stamp;
}

void checkStamp(std::string_view date, std::string_view time) {
    const std::string stamp = trelvo::publicationStamp(date, time);
    // Five ints, each at most a sign and ten digits.
    if (stamp.size() < 12 || stamp.size() > 55) std::abort();
    for (char c : stamp)
        if (!isDigit(c) && c != '-') std::abort();
    if (std::optional<std::string> scanned = scannedStamp(date, time); scanned && *scanned != stamp) std::abort();
    // Only twelve digits of a real date and time count, and never as later
    // than themselves; any of them is later than a stamp that is none.
    if (trelvo::possibleStamp(stamp)) {
        if (stamp.size() != 12 || stamp.find('-') != std::string::npos) std::abort();
        if (!trelvo::laterStamp(stamp, "")) std::abort();
        if (trelvo::laterStamp(stamp, stamp)) std::abort();
    } else if (trelvo::laterStamp(stamp, "")) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint32_t id = data[0] | data[1] << 8 | data[2] << 16 | static_cast<std::uint32_t>(data[3]) << 24;
    std::string_view text(reinterpret_cast<const char*>(data) + 4, size - 4);

    const std::vector<std::string> lines = trelvo::updateConfigurationLines(text);
    std::size_t ends = 0;
    for (char c : text) ends += c == '\n' || c == '\0';
    if (lines.size() > ends + 1) std::abort();

    std::optional<trelvo::PublishedEdition> firstOfId, first;
    for (const std::string& line : lines) {
        if (line.size() > trelvo::maxUpdateTextLength) std::abort();
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
        std::optional<trelvo::PublishedEdition> edition = trelvo::parsePublishedEdition(line);
        if (!edition) continue;
        for (const std::string* field : {&edition->date, &edition->time, &edition->file, &edition->version})
            checkWord(*field);
        checkStamp(edition->date, edition->time);
        if (!first) first = edition;
        if (!firstOfId && edition->id == id) firstOfId = edition;
    }

    // The search finds the first line that reads and names the ID.
    auto sameEdition = [](const std::optional<trelvo::PublishedEdition>& a,
                          const std::optional<trelvo::PublishedEdition>& b) {
        if (a.has_value() != b.has_value()) return false;
        return !a || (a->id == b->id && a->date == b->date && a->time == b->time && a->file == b->file &&
                      a->version == b->version);
    };
    if (!sameEdition(trelvo::findPublishedEdition(text, id), firstOfId)) std::abort();
    if (first && !sameEdition(trelvo::findPublishedEdition(text, first->id), first)) std::abort();

    // The stamp of any text at all, as a server may put anything in a line.
    const std::size_t half = text.size() / 2;
    checkStamp(text.substr(0, half), text.substr(half));

    // The ID of the dictionary and the location split both take any text.
    const std::uint32_t numeric = trelvo::numericId(text);
    if (text.size() >= 8 && text.substr(0, 8).find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
        unsigned long value = std::strtoul(std::string(text.substr(0, 8)).c_str(), nullptr, 16);
        if (numeric != value) std::abort();
    }
    for (std::string_view location : {text, std::string_view(lines.empty() ? std::string_view() : lines[0])}) {
        const trelvo::UpdateLocation split = trelvo::splitUpdateLocation(location);
        if (split.host + split.path != location) std::abort();
        if (split.host.find('/') != std::string::npos) std::abort();
        if (!split.path.empty() && split.path[0] != '/') std::abort();
    }
    return 0;
}
