// publish merges its editions into whatever autoupdt.cfg the folder holds:
// the program must then read each published edition as written, and every
// other line as it read it before, and a second merge must change nothing.
// Byte 0 picks which of the first editions the old file names are published
// again (bits 0-3), whether a new ID is added (bit 4) and the signed mark
// (bit 5); bytes 1-4 are that new ID, byte 5 the length (up to 15) of the
// version that follows; the rest is the old file.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/update/EditionPublishing.h"
#include "core/update/UpdateCheck.h"

namespace {

bool sameEdition(const std::optional<trelvo::PublishedEdition>& a, const std::optional<trelvo::PublishedEdition>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || (a->id == b->id && a->date == b->date && a->time == b->time && a->file == b->file &&
                  a->version == b->version && a->signedMark == b->signedMark);
}

// The lines the program reads, but those of the published IDs.
std::vector<std::string> otherLines(std::string_view text, const std::set<std::uint32_t>& published) {
    std::vector<std::string> lines;
    for (std::string& line : trelvo::updateConfigurationLines(text)) {
        const std::optional<trelvo::PublishedEdition> edition = trelvo::parsePublishedEdition(line);
        if (!edition || !published.count(edition->id)) lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const std::uint8_t choice = data[0];
    const std::uint32_t newId = data[1] | data[2] << 8 | data[3] << 16 | static_cast<std::uint32_t>(data[4]) << 24;
    const std::size_t versionLength = std::min<std::size_t>(data[5] & 0x0F, size - 6);
    const std::string version(reinterpret_cast<const char*>(data) + 6, versionLength);
    const std::string_view old(reinterpret_cast<const char*>(data) + 6 + versionLength, size - 6 - versionLength);

    std::vector<std::uint32_t> ids;  // the first four named
    std::set<std::uint32_t> named;
    for (const std::string& line : trelvo::updateConfigurationLines(old))
        if (auto edition = trelvo::parsePublishedEdition(line))
            if (named.insert(edition->id).second && ids.size() < 4) ids.push_back(edition->id);
    std::vector<trelvo::PublishedEdition> editions;
    std::set<std::uint32_t> published;
    auto publish = [&](std::uint32_t id) {
        if (!published.insert(id).second) return;
        trelvo::PublishedEdition edition;
        edition.id = id;
        edition.date = "8.12.2026";
        edition.time = "10:05";
        edition.file = "f" + std::to_string(id) + ".dsl";
        edition.version = version;
        edition.signedMark = (choice & 0x20) != 0;
        editions.push_back(edition);
    };
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (choice & (1u << i)) publish(ids[i]);
    if (choice & 0x10) publish(newId);

    const trelvo::MergedConfiguration merged = trelvo::mergeUpdateConfiguration(old, editions);
    if (!merged.text.empty() && merged.text.back() != '\n' && merged.text.back() != '\0') std::abort();
    for (const trelvo::PublishedEdition& edition : editions) {
        const auto read = trelvo::findPublishedEdition(merged.text, edition.id);
        if (!sameEdition(read, trelvo::parsePublishedEdition(trelvo::publishedEditionLine(edition)))) std::abort();
    }
    if (otherLines(merged.text, published) != otherLines(old, published)) std::abort();
    std::size_t fresh = 0;
    for (std::uint32_t id : published) fresh += named.count(id) == 0;
    if (merged.added != fresh) std::abort();

    const trelvo::MergedConfiguration again = trelvo::mergeUpdateConfiguration(merged.text, editions);
    if (again.text != merged.text || again.added != 0 || again.replaced != editions.size() ||
        again.kept != merged.kept)
        std::abort();
    return 0;
}
