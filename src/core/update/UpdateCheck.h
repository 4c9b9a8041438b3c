#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HttpClient.h"
#include "SignaturePolicy.h"
#include "core/dictionary/DictionaryStore.h"
#include "core/exchange/Synchronisation.h"

namespace trelvo {

// Status-bar text while a location is tried (UTF-8).
inline constexpr const char* searchingStatus = "Hledání aktualizací ...";
// The file each location publishes in its path.
inline constexpr const char* updateConfigurationName = "autoupdt.cfg";
inline constexpr std::size_t updateConfigurationLimit = std::size_t{1} << 20;    // 1 MB
inline constexpr std::size_t updateDictionaryLimit = std::size_t{256} << 20;     // 256 MB
// Lines and fields of autoupdt.cfg pass 1000-byte buffers; longer ones are cut.
inline constexpr std::size_t maxUpdateTextLength = 999;

// The first 8 characters read as a hexadecimal number, stopping at the first
// character that is not a hex digit; 0 when there is none.
std::uint32_t numericId(std::string_view idAndAccessCode);

// One line of autoupdt.cfg: "ID date time file version [signed]".
struct PublishedEdition {
    std::uint32_t id = 0;
    std::string date;     // day.month.year
    std::string time;     // hour:minute
    std::string file;     // dictionary file, relative to the location's path
    std::string version;  // shown to the user; bytes as published (code page 1250)
    // The word "signed" after the version: the edition is taken only with a
    // signature that verifies. Programs that read five fields pass it over.
    bool signedMark = false;
};

// The lines of autoupdt.cfg: a line ends at LF or NUL, CR is dropped
// anywhere, a last line without LF counts when not empty; each line is cut at
// maxUpdateTextLength characters.
std::vector<std::string> updateConfigurationLines(std::string_view text);
// The same lines, each with the bytes of text it was read from, its LF or
// NUL included: in order, they cover the whole text but for CRs after the
// last line end.
struct UpdateConfigurationLine {
    std::string text;
    std::string_view bytes;
};
std::vector<UpdateConfigurationLine> updateConfigurationLinesWithBytes(std::string_view text);
// Reads a line as "%X %s %s %s %s" and an optional "signed" after them;
// nullopt unless all five fields are there and the ID fits in 32 bits.
std::optional<PublishedEdition> parsePublishedEdition(std::string_view line);
// The first line of text that reads completely and names id.
std::optional<PublishedEdition> findPublishedEdition(std::string_view text, std::uint32_t id);

// "YYYYMMDDHHMM" from "day.month.year" and "hour:minute": the first five
// integers of both joined, "." and ":" read as spaces, missing ones 0.
std::string publicationStamp(std::string_view date, std::string_view time);
// Whether stamp is twelve digits of a date and time that exist.
bool possibleStamp(std::string_view stamp);
// Whether published, a possible stamp, is later than stored; a stored stamp
// that is not possible (none, or one kept from a server before stamps were
// checked) counts as earlier than any.
bool laterStamp(std::string_view published, std::string_view stored);

// "[scheme://]host[:port]/path": a leading "https://" or "http://" (in any
// letter case) gives the scheme and is cut, plain HTTP without one; the host
// is the text before the next "/", the path the rest from that "/" (empty
// when there is none).
struct UpdateLocation {
    HttpScheme scheme = HttpScheme::http;
    std::string host;
    std::string path;
};
UpdateLocation splitUpdateLocation(std::string_view location);

// What the question about a downloaded edition shows.
struct EditionOffer {
    std::string version;  // UTF-8
    SyncCounts counts;    // what the merge will do
    SignatureCheck signature;  // verified, with its signer, or none
};

// What the check needs from the window. An empty function does nothing,
// except: askToSynchronise and synchroniseWithDownload empty decline, save
// empty runs store.saveDictionary(), today empty uses todayDayNumber().
struct UpdateUi {
    std::function<void(const std::string&)> setStatus;  // first status panel, UTF-8; repaint at once
    std::function<std::string()> status;
    // Yes/No question about the downloaded edition.
    std::function<bool(const EditionOffer&)> askToSynchronise;
    // Merges the downloaded file into the open dictionary as a new edition
    // of it, as the synchronisation button does, calling agree with what the
    // merge will do before anything changes, and gives its outcome. A file of
    // another dictionary is never imported: declined without asking.
    std::function<SyncOutcome(const std::string& downloadPath, const std::function<bool(const SyncCounts&)>& agree)>
        synchroniseWithDownload;
    // Called once the edition is downloaded and accepted, before the merge:
    // the moment to take the dictionary's lock and read it again.
    std::function<void()> beforeMerge;
    std::function<bool()> save;  // a failure is the callback's to report; the check then ends unsuccessful
    std::function<int()> today;  // day number
    std::function<void()> reportCompleted;
};

enum class UpdateOutcome {
    notChecked,           // toggle up or no dictionary open; no request made         (2)
    unreachable,          // the last location refused the connection                   (0)
    configurationFailed,  // autoupdt.cfg could not be fetched at the last location     (2)
    noEdition,            // autoupdt.cfg has no complete line for the dictionary       (2)
    impossibleStamp,      // the published date and time do not exist; message set      (2)
    upToDate,             // the published stamp is not later than updateStamp          (2)
    fileMissing,          // HEAD of the dictionary file failed                         (2)
    declined,             // the user answered No                                       (2)
    downloadFailed,       // GET of the dictionary file or writing it failed; message set (2)
    downloadRefused,      // the signature, the claims or the merge refused the file; message set (2)
    saveFailed,           // merged, but the save failed and said so itself              (2)
    updated,              // downloaded, merged, stamp stored and saved                 (1)
};

struct UpdateCheckResult {
    int code = 2;  // 0, 1 or 2, as the callers test it
    UpdateOutcome outcome = UpdateOutcome::notChecked;
    // downloadFailed, downloadRefused and impossibleStamp: the error text
    // (UTF-8) for an error box. Nothing was merged or stored and the
    // dictionary is as it was; download.dsl too after a failed download or a
    // refused signature or claim, while after a file the merge refused it
    // holds what the server sent.
    // unreachable and configurationFailed: the locations whose HTTPS failed,
    // if any, one a line.
    std::string error;
    // What the signature step decided about a downloaded edition.
    SignatureCheck signature;
};

// A published edition that differs from the dictionary's: what the question
// shows and what the download needs.
struct FoundEdition {
    std::string stamp;        // publication stamp, stored once the edition is taken
    std::string version;      // for the question, UTF-8
    std::string filePath;     // request path of the dictionary file at its location
    bool signedMark = false;  // autoupdt.cfg marks it signed
    // The location as signed-locations remembers it: host in lower case and
    // path, without the scheme.
    std::string locationKey;
};

// What came of fetching an edition.
struct EditionDownload {
    std::string error;  // the file could not be fetched or written (UTF-8)
    SignatureCheck signature;
    // The file is not what autoupdt.cfg announced (another dictionary,
    // another stamp): why, for an error box (UTF-8).
    std::string refusal;
};

// How the search at the locations came out: an edition to offer, the client
// still connected to its location, or the end of the check (the status then
// emptied).
struct EditionSearch {
    std::optional<FoundEdition> edition;
    UpdateCheckResult ended;
};

// The check in steps, so that a window can wait on the servers off its own
// thread and ask its question and merge on it: searchLocations,
// downloadEdition, takeEdition; checkForUpdate below runs them in turn.

// Tries each location in turn up to the HEAD of a newer edition of the
// dictionary id, last updated at updateStamp. It reads nothing but its
// arguments, so it may run on a thread of its own, and calls setStatus from
// there; shownStatus is the status text before the check, which a location
// that fails after connecting puts back.
EditionSearch searchLocations(const std::vector<std::string>& locations, std::uint32_t id,
                              const std::string& updateStamp, HttpClient& http,
                              const std::function<void(const std::string&)>& setStatus, std::string shownStatus);
// Fetches the edition and its signature, if the server has one, decides on
// the signature under policy, remembers a location that gave a verified one
// in policy.signedLocationsPath, checks that the file is an edition of the
// dictionary dictionaryId (its idAndAccessCode) stamped as announced, writes
// it to downloadPath unless it was refused, and disconnects. It reads nothing
// but its arguments, so it may run on a thread of its own.
EditionDownload downloadEdition(HttpClient& http, const FoundEdition& edition, const std::string& downloadPath,
                                const SignaturePolicy& policy, const std::string& dictionaryId);
// With the download written and accepted, merges it after the user has
// agreed to what the merge will do, stores the stamp, saves and reports;
// otherwise ends the check with the download's error or refusal.
UpdateCheckResult takeEdition(DictionaryStore& store, const FoundEdition& edition, const std::string& downloadPath,
                              const EditionDownload& download, UpdateUi& ui, int& lastUpdateDay);

// Looks for a newer edition of the open dictionary at each location in turn,
// downloads it to downloadPath and, when its signature passes policy and the
// user agrees, merges it. The status panel is left empty whenever a location
// was tried.
UpdateCheckResult checkForUpdate(DictionaryStore& store, bool toggleDown, const std::vector<std::string>& locations,
                                 HttpClient& http, const std::string& downloadPath, const SignaturePolicy& policy,
                                 UpdateUi& ui, int& lastUpdateDay);

}  // namespace trelvo
