#include "UpdateCheck.h"

#include <climits>
#include <cstdio>

#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/CodePage.h"
#include "core/exchange/Synchronisation.h"
#include "core/settings/ProgramPaths.h"

namespace trelvo {

namespace {

// White space as the C locale's isspace sees it, without its locale lookups.
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

void skipSpace(std::string_view text, std::size_t& at) {
    while (at < text.size() && isSpace(text[at])) ++at;
}

// A "%s" conversion: white space skipped, then a non-empty run of the rest.
std::optional<std::string> readWord(std::string_view text, std::size_t& at) {
    skipSpace(text, at);
    std::size_t start = at;
    while (at < text.size() && !isSpace(text[at])) ++at;
    if (at == start) return std::nullopt;
    return std::string(text.substr(start, at - start));
}

// A "%d" conversion; values beyond int are clamped rather than left undefined.
std::optional<int> readInteger(std::string_view text, std::size_t& at) {
    skipSpace(text, at);
    std::size_t i = at;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::size_t digits = i;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value <= INT_MAX) value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digits) return std::nullopt;
    at = i;
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// Every end after a location was tried leaves the status panel empty.
UpdateCheckResult endCheck(const std::function<void(const std::string&)>& setStatus, int code,
                           UpdateOutcome outcome, std::string error = {}) {
    if (setStatus) setStatus({});
    return {code, outcome, std::move(error), {}};
}

void disconnectQuietly(HttpClient& http) {
    try {
        http.disconnect();
    } catch (const HttpError&) {
        // Nothing is left to release that a failed disconnect could keep.
    }
}

// The download merged, or the check ended with why it was not.
UpdateCheckResult takeDownload(DictionaryStore& store, const FoundEdition& edition, const std::string& downloadPath,
                               const EditionDownload& download, UpdateUi& ui, int& lastUpdateDay) {
    if (!download.error.empty()) return endCheck(ui.setStatus, 2, UpdateOutcome::downloadFailed, download.error);
    if (download.signature.verdict == SignatureVerdict::refused)
        return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused, download.signature.refusal);
    // A refused file (an error page, a cut transfer) must not count as
    // taken: the edition would never be offered again.
    const SyncOutcome merged =
        ui.synchroniseWithDownload ? ui.synchroniseWithDownload(downloadPath) : SyncOutcome::synchronised;
    if (merged == SyncOutcome::unreadable)
        return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused, unreadableDictionaryMessage(downloadPath));
    if (merged == SyncOutcome::tooLarge)
        return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused, tooLargeMergeMessage(downloadPath));
    // Stored even after a declined import, so the same edition is not offered again.
    store.header.updateStamp = edition.stamp;
    // A failed save has shown its own error: the check is no success, and
    // the day of the last update stays, so that the reminder still comes.
    if (!(ui.save ? ui.save() : store.saveDictionary())) return endCheck(ui.setStatus, 2, UpdateOutcome::saveFailed);
    lastUpdateDay = ui.today ? ui.today() : todayDayNumber();
    if (ui.reportCompleted) ui.reportCompleted();
    return endCheck(ui.setStatus, 1, UpdateOutcome::updated);
}

}  // namespace

std::uint32_t numericId(std::string_view idAndAccessCode) {
    std::uint32_t value = 0;
    for (char c : idAndAccessCode.substr(0, 8)) {
        int digit = hexValue(c);
        if (digit < 0) break;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::vector<UpdateConfigurationLine> updateConfigurationLinesWithBytes(std::string_view text) {
    std::vector<UpdateConfigurationLine> lines;
    UpdateConfigurationLine line;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') continue;
        if (c == '\n' || c == '\0') {
            line.bytes = text.substr(start, i + 1 - start);
            lines.push_back(std::move(line));
            line = {};
            start = i + 1;
        } else if (line.text.size() < maxUpdateTextLength) {
            line.text += c;
        }
    }
    if (!line.text.empty()) {
        line.bytes = text.substr(start);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> updateConfigurationLines(std::string_view text) {
    std::vector<std::string> lines;
    for (UpdateConfigurationLine& line : updateConfigurationLinesWithBytes(text)) lines.push_back(std::move(line.text));
    return lines;
}

std::optional<PublishedEdition> parsePublishedEdition(std::string_view line) {
    std::size_t at = 0;
    skipSpace(line, at);
    std::size_t start = at;
    std::uint64_t id = 0;
    for (; at < line.size(); ++at) {
        int digit = hexValue(line[at]);
        if (digit < 0) break;
        // Leading zeros may be many; only the value must fit in 32 bits.
        if (id <= 0xFFFFFFFFu) id = id * 16 + static_cast<std::uint64_t>(digit);
    }
    if (at == start || id > 0xFFFFFFFFu) return std::nullopt;

    PublishedEdition edition;
    edition.id = static_cast<std::uint32_t>(id);
    for (std::string* field : {&edition.date, &edition.time, &edition.file, &edition.version}) {
        std::optional<std::string> word = readWord(line, at);
        if (!word) return std::nullopt;
        *field = std::move(*word);
    }
    edition.signedMark = readWord(line, at) == "signed";
    return edition;
}

std::optional<PublishedEdition> findPublishedEdition(std::string_view text, std::uint32_t id) {
    for (const std::string& line : updateConfigurationLines(text)) {
        std::optional<PublishedEdition> edition = parsePublishedEdition(line);
        if (edition && edition->id == id) return edition;
    }
    return std::nullopt;
}

std::string publicationStamp(std::string_view date, std::string_view time) {
    std::string joined;
    joined.reserve(date.size() + 1 + time.size());
    joined.append(date).append(" ").append(time);
    for (char& c : joined)
        if (c == '.' || c == ':') c = ' ';

    int values[5] = {0, 0, 0, 0, 0};  // day, month, year, hour, minute
    std::size_t at = 0;
    for (int& value : values) {
        std::optional<int> read = readInteger(joined, at);
        if (!read) break;  // as a scan stops at the first failed conversion
        value = *read;
    }
    char stamp[80];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d", values[2], values[1], values[0], values[3], values[4]);
    return stamp;
}

UpdateLocation splitUpdateLocation(std::string_view location) {
    UpdateLocation split;
    for (const auto& [prefix, scheme] : {std::pair{std::string_view("https://"), HttpScheme::https},
                                         std::pair{std::string_view("http://"), HttpScheme::http}}) {
        if (startsWithIgnoringCase(location, prefix)) {
            split.scheme = scheme;
            location.remove_prefix(prefix.size());
            break;
        }
    }
    const std::size_t slash = location.find('/');
    split.host = location.substr(0, slash);
    if (slash != std::string_view::npos) split.path = location.substr(slash);
    return split;
}

EditionSearch searchLocations(const std::vector<std::string>& locations, std::uint32_t id,
                              const std::string& updateStamp, HttpClient& http,
                              const std::function<void(const std::string&)>& setStatus, std::string shownStatus) {
    // What the panel shows, followed here rather than read back: the panel
    // may belong to another thread.
    auto show = [&](const std::string& text) {
        shownStatus = text;
        if (setStatus) setStatus(text);
    };
    auto end = [&](int code, UpdateOutcome outcome, std::string error = {}) {
        return EditionSearch{std::nullopt, endCheck(setStatus, code, outcome, std::move(error))};
    };
    // A location whose HTTPS fails may have someone in between: unlike one
    // that does not answer, it is named at once in the status and, when no
    // later location answers, in the error the check ends with.
    std::string secureFailures;
    auto noteSecureFailure = [&](const HttpError& error, const std::string& location) {
        if (!error.secureChannel) return false;
        const std::string text = "Zabezpečené spojení s aktualizačním serverem \"" + location +
                                 "\" se nepodařilo navázat, server nebyl použit (" + error.what() + ").";
        show(text);
        secureFailures += (secureFailures.empty() ? "" : "\n") + text;
        return true;
    };

    for (std::size_t i = 0; i < locations.size(); ++i) {
        const bool last = i + 1 == locations.size();
        const UpdateLocation location = splitUpdateLocation(locations[i]);

        const std::string remembered = shownStatus;
        show(searchingStatus);

        try {
            http.setHost(location.host, location.scheme);
            http.connect();
        } catch (const HttpError& error) {
            disconnectQuietly(http);
            noteSecureFailure(error, locations[i]);
            if (!last) continue;
            return end(0, UpdateOutcome::unreachable, secureFailures);
        }

        std::string configuration;
        try {
            configuration = http.get(location.path + "/" + updateConfigurationName, updateConfigurationLimit);
        } catch (const HttpError& error) {
            disconnectQuietly(http);
            if (!noteSecureFailure(error, locations[i])) show(remembered);
            if (!last) continue;
            return end(2, UpdateOutcome::configurationFailed, secureFailures);
        }

        // A location that answers decides: later ones are not asked.
        std::optional<PublishedEdition> edition = findPublishedEdition(configuration, id);
        if (!edition) {
            disconnectQuietly(http);
            return end(2, UpdateOutcome::noEdition);
        }

        // Any difference counts as newer: stamps are not ordered.
        const std::string stamp = publicationStamp(edition->date, edition->time);
        if (stamp == updateStamp) {
            disconnectQuietly(http);
            return end(2, UpdateOutcome::upToDate);
        }

        const std::string filePath = location.path + "/" + edition->file;
        try {
            http.head(filePath);
        } catch (const HttpError&) {
            disconnectQuietly(http);
            return end(2, UpdateOutcome::fileMissing);
        }
        return {FoundEdition{stamp, CodePage::toUtf8(edition->version, CodePage::headerCodePage), filePath,
                             edition->signedMark},
                {}};
    }
    return {std::nullopt, {2, UpdateOutcome::notChecked, {}, {}}};
}

std::optional<UpdateCheckResult> offerEdition(HttpClient& http, const FoundEdition& edition, UpdateUi& ui) {
    if (ui.askToSynchronise && ui.askToSynchronise(edition.version)) return std::nullopt;
    disconnectQuietly(http);
    return endCheck(ui.setStatus, 2, UpdateOutcome::declined);
}

EditionDownload downloadEdition(HttpClient& http, const FoundEdition& edition, const std::string& downloadPath,
                                const SignaturePolicy& policy) {
    EditionDownload download;
    std::string bytes;
    try {
        bytes = http.get(edition.filePath, updateDictionaryLimit);
    } catch (const HttpError& error) {
        disconnectQuietly(http);
        download.error = error.what();
        return download;
    }
    // Any failure to fetch it counts as none published: an edition that
    // needs one is then refused all the same.
    std::optional<std::string> signature;
    try {
        signature = http.get(edition.filePath + signatureSuffix, signatureLimit);
    } catch (const HttpError&) {
    }
    disconnectQuietly(http);
    download.signature = checkEditionSignature(bytes, signature, edition.signedMark, policy);
    // A refused file is not written: download.dsl never holds what failed its signature.
    if (download.signature.verdict == SignatureVerdict::refused) return download;
    if (!replaceFileAtomically(downloadPath, bytes)) download.error = "Soubor " + downloadPath + " nelze zapsat.";
    return download;
}

UpdateCheckResult takeEdition(DictionaryStore& store, const FoundEdition& edition, const std::string& downloadPath,
                              const EditionDownload& download, UpdateUi& ui, int& lastUpdateDay) {
    UpdateCheckResult result = takeDownload(store, edition, downloadPath, download, ui, lastUpdateDay);
    result.signature = download.signature;
    return result;
}

UpdateCheckResult checkForUpdate(DictionaryStore& store, bool toggleDown, const std::vector<std::string>& locations,
                                 HttpClient& http, const std::string& downloadPath, const SignaturePolicy& policy,
                                 UpdateUi& ui, int& lastUpdateDay) {
    if (!store.isOpen() || !toggleDown) return {2, UpdateOutcome::notChecked, {}, {}};
    const EditionSearch search =
        searchLocations(locations, numericId(store.header.idAndAccessCode), store.header.updateStamp, http,
                        ui.setStatus, ui.status ? ui.status() : std::string());
    if (!search.edition) return search.ended;
    if (std::optional<UpdateCheckResult> declined = offerEdition(http, *search.edition, ui)) return *declined;
    const EditionDownload download = downloadEdition(http, *search.edition, downloadPath, policy);
    return takeEdition(store, *search.edition, downloadPath, download, ui, lastUpdateDay);
}

}  // namespace trelvo
