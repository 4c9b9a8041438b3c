#include "UpdateCheck.h"

#include <climits>
#include <cstdio>

#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "EditionPublishing.h"
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

// A stamp as autoupdt.cfg writes it, "7.12.2026 14:05"; "žádné" for none.
std::string stampText(const std::string& stamp) {
    if (stamp.empty()) return "žádné";
    const std::optional<PublicationTime> time = publicationTimeOfStamp(stamp);
    if (!time) return "\"" + CodePage::toUtf8(stamp, CodePage::headerCodePage) + "\"";
    return time->date + " " + time->time;
}

// Why a downloaded edition is not what autoupdt.cfg announced; empty when it
// is, or when the file is no dictionary at all, which the merge refuses.
std::string unclaimedEdition(const std::string& bytes, const FoundEdition& edition, const SignatureCheck& signature,
                             const std::string& dictionaryId) {
    DictionaryHeader header;
    EntryList entries;
    if (!parseDictionary(std::string_view(bytes), header, entries)) return {};
    auto idText = [](const std::string& id) { return CodePage::toUtf8(id.substr(0, 8), CodePage::headerCodePage); };
    if (!sameDictionaryId(header.idAndAccessCode, dictionaryId))
        return refusedDownloadMessage("Stažený soubor je vydáním jiného slovníku (ID " + idText(header.idAndAccessCode) +
                                      ") než otevřený slovník (ID " + idText(dictionaryId) + ").");
    // An unsigned file without a stamp of its own comes from a server set up
    // before stamps were bound: anyone on the way could change it anyway.
    const bool unstampedOfOldServer = signature.verdict == SignatureVerdict::none && header.updateStamp.empty();
    if (header.updateStamp != edition.stamp && !unstampedOfOldServer)
        return refusedDownloadMessage("Datum vydání uvedené ve staženém souboru (" + stampText(header.updateStamp) +
                                      ") nesouhlasí s datem, které ohlašuje aktualizační server (" +
                                      stampText(edition.stamp) + "); může jít o starší vydání podstrčené znovu.");
    return {};
}

// The download merged, or the check ended with why it was not.
UpdateCheckResult takeDownload(DictionaryStore& store, const FoundEdition& edition, const std::string& downloadPath,
                               const EditionDownload& download, UpdateUi& ui, int& lastUpdateDay) {
    if (!download.error.empty()) return endCheck(ui.setStatus, 2, UpdateOutcome::downloadFailed, download.error);
    if (download.signature.verdict == SignatureVerdict::refused)
        return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused, download.signature.refusal);
    if (!download.refusal.empty())
        return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused, download.refusal);
    if (ui.beforeMerge) ui.beforeMerge();
    // The dictionary read again may have taken this edition, or a later one, meanwhile.
    if (!laterStamp(edition.stamp, store.header.updateStamp)) return endCheck(ui.setStatus, 2, UpdateOutcome::upToDate);
    bool asked = false;
    auto agree = [&](const SyncCounts& counts) {
        asked = true;
        return ui.askToSynchronise && ui.askToSynchronise(EditionOffer{edition.version, counts, download.signature});
    };
    const SyncOutcome merged =
        ui.synchroniseWithDownload ? ui.synchroniseWithDownload(downloadPath, agree) : SyncOutcome::declined;
    switch (merged) {
        case SyncOutcome::synchronised: break;
        case SyncOutcome::declined:
            if (asked) return endCheck(ui.setStatus, 2, UpdateOutcome::declined);
            return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused,
                            refusedDownloadMessage("Stažený soubor je vydáním jiného slovníku než otevřený slovník."));
        // A refused file (an error page, a cut transfer) must not count as
        // taken: the edition would never be offered again.
        case SyncOutcome::tooLarge:
            return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused, tooLargeMergeMessage(downloadPath));
        default:
            return endCheck(ui.setStatus, 2, UpdateOutcome::downloadRefused, unreadableDictionaryMessage(downloadPath));
    }
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

bool possibleStamp(std::string_view stamp) { return publicationTimeOfStamp(stamp).has_value(); }

bool laterStamp(std::string_view published, std::string_view stored) {
    // Twelve digits each: their text order is their time order.
    return possibleStamp(published) && (!possibleStamp(stored) || published > stored);
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

        const std::string stamp = publicationStamp(edition->date, edition->time);
        if (!possibleStamp(stamp)) {
            disconnectQuietly(http);
            return end(2, UpdateOutcome::impossibleStamp,
                       "Aktualizační server ohlašuje vydání slovníku s nemožným datem nebo časem vydání \"" +
                           CodePage::toUtf8(edition->date + " " + edition->time, CodePage::headerCodePage) +
                           "\"; vydání nebylo staženo, slovník zůstal beze změny.");
        }
        // Only a later edition is offered: an earlier one served again would
        // take back what the dictionary has had since.
        if (!laterStamp(stamp, updateStamp)) {
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
        std::string locationKey = location.host;
        for (char& c : locationKey)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return {FoundEdition{stamp, CodePage::toUtf8(edition->version, CodePage::headerCodePage), filePath,
                             edition->signedMark, locationKey + location.path},
                {}};
    }
    return {std::nullopt, {2, UpdateOutcome::notChecked, {}, {}}};
}

EditionDownload downloadEdition(HttpClient& http, const FoundEdition& edition, const std::string& downloadPath,
                                const SignaturePolicy& policy, const std::string& dictionaryId) {
    EditionDownload download;
    std::string bytes;
    try {
        bytes = http.get(edition.filePath, updateDictionaryLimit);
    } catch (const HttpError& error) {
        disconnectQuietly(http);
        download.error = error.what();
        return download;
    }
    // Only a server that says it has none has no signature: one that did not
    // come (too long, cut, another status) may have been kept away.
    FetchedSignature signature;
    try {
        signature.text = http.get(edition.filePath + signatureSuffix, signatureLimit);
    } catch (const HttpError& error) {
        if (error.status != 404 && error.status != 410) signature.failure = error.what();
    }
    disconnectQuietly(http);
    download.signature = checkEditionSignature(bytes, signature, edition.signedMark,
                                               policy.signedBefore(edition.locationKey), policy);
    // A refused file is not written: download.dsl never holds what failed its signature.
    if (download.signature.verdict == SignatureVerdict::refused) return download;
    // Remembered even if the edition is declined: the location has shown
    // that it signs, and whoever strips its signatures later is refused.
    if (download.signature.verdict == SignatureVerdict::verified && !policy.signedLocationsPath.empty())
        rememberSignedLocation(policy.signedLocationsPath, edition.locationKey);
    download.refusal = unclaimedEdition(bytes, edition, download.signature, dictionaryId);
    if (!download.refusal.empty()) return download;
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
    const EditionDownload download =
        downloadEdition(http, *search.edition, downloadPath, policy, store.header.idAndAccessCode);
    return takeEdition(store, *search.edition, downloadPath, download, ui, lastUpdateDay);
}

}  // namespace trelvo
