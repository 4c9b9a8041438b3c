#include "EditionPublishing.h"

#include <cstdio>
#include <set>

namespace trelvo {

namespace {

// The no-break space of code page 1250: no white space to the reader.
constexpr char noBreakSpace = '\xA0';

int digitsValue(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

int daysInMonth(int month, int year) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

std::optional<PublicationTime> publicationTimeOfStamp(std::string_view stamp) {
    if (stamp.size() != 12 || stamp.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    const int year = digitsValue(stamp.substr(0, 4)), month = digitsValue(stamp.substr(4, 2)),
              day = digitsValue(stamp.substr(6, 2)), hour = digitsValue(stamp.substr(8, 2)),
              minute = digitsValue(stamp.substr(10, 2));
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(month, year) || hour > 23 || minute > 59)
        return std::nullopt;
    char date[40], time[24];  // room for any int, which keeps the compiler from warning
    std::snprintf(date, sizeof date, "%d.%d.%d", day, month, year);
    std::snprintf(time, sizeof time, "%d:%02d", hour, minute);
    return PublicationTime{date, time};
}

std::string publishedVersion(std::string_view version) {
    if (version.empty()) return "-";
    std::string word(version);
    for (char& c : word)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7F') c = noBreakSpace;
    return word;
}

bool publishableFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain && std::string_view("._-+~").find(c) == std::string_view::npos) return false;
    }
    return true;
}

std::string publishedEditionLine(const PublishedEdition& edition) {
    char id[9];
    std::snprintf(id, sizeof id, "%08X", static_cast<unsigned>(edition.id));
    std::string line = std::string(id) + " " + edition.date + " " + edition.time + " " + edition.file + " " +
                       publishedVersion(edition.version);
    if (edition.signedMark) line += " signed";
    return line;
}

MergedConfiguration mergeUpdateConfiguration(std::string_view oldText, const std::vector<PublishedEdition>& editions) {
    MergedConfiguration merged;
    std::set<std::uint32_t> written;
    auto lineOf = [&](std::uint32_t id) -> const PublishedEdition* {
        for (const PublishedEdition& edition : editions)
            if (edition.id == id) return &edition;
        return nullptr;
    };
    // The lines as the program reads them: a NUL ends one as a line feed does.
    for (const UpdateConfigurationLine& line : updateConfigurationLinesWithBytes(oldText)) {
        const std::optional<PublishedEdition> old = parsePublishedEdition(line.text);
        const PublishedEdition* edition = old ? lineOf(old->id) : nullptr;
        if (!edition) {
            merged.text.append(line.bytes);
            if (line.bytes.back() != '\n' && line.bytes.back() != '\0') merged.text += '\n';
            if (line.text.find_first_not_of(" \t\v\f") != std::string::npos) ++merged.kept;
            continue;
        }
        ++merged.replaced;
        if (written.insert(edition->id).second) merged.text += publishedEditionLine(*edition) + "\n";
    }
    for (const PublishedEdition& edition : editions) {
        if (!written.insert(edition.id).second) continue;
        merged.text += publishedEditionLine(edition) + "\n";
        ++merged.added;
    }
    return merged;
}

}  // namespace trelvo
