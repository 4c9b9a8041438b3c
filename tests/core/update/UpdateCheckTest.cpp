#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/dictionary/DictionaryFile.h"
#include "core/update/UpdateCheck.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;
using Lines = std::vector<std::string>;

namespace {

using trelvo::support::readBytes;

// Scripted per host and path: refused hosts fail to connect, untrusted ones
// fail as HTTPS does on a bad certificate, a GET returns the body set for
// host + path or throws, a HEAD succeeds where a body is set unless listed as
// failing. Every call is logged, an HTTPS host with its scheme.
class FakeHttp : public HttpClient {
public:
    std::set<std::string> refusing;
    std::set<std::string> untrusted;
    std::map<std::string, std::string> bodies;  // key: host + path
    std::set<std::string> failingHeads;
    std::set<std::string> failingGets;  // fail although a body is set (HEAD still works)
    std::set<std::string> brokenGets;   // the same, but without a status: the transfer broke
    std::vector<std::string> log;
    std::vector<std::size_t> limits;

    void setHost(const std::string& host, HttpScheme scheme) override {
        host_ = host;
        log.push_back("host " + std::string(scheme == HttpScheme::https ? "https://" : "") + host);
    }
    void connect() override {
        log.push_back("connect " + host_);
        if (refusing.count(host_)) throw HttpError("refused");
        if (untrusted.count(host_)) throw HttpError("certificate problem", true);
    }
    std::string get(const std::string& path, std::size_t limit) override {
        log.push_back("GET " + host_ + path);
        limits.push_back(limit);
        auto it = bodies.find(host_ + path);
        if (brokenGets.count(host_ + path)) throw HttpError("failed");
        if (it == bodies.end() || failingGets.count(host_ + path)) throw HttpError("404 Not Found", false, 404);
        return it->second;
    }
    void head(const std::string& path) override {
        log.push_back("HEAD " + host_ + path);
        if (!bodies.count(host_ + path) || failingHeads.count(host_ + path))
            throw HttpError("404 Not Found", false, 404);
    }
    void disconnect() override { log.push_back("disconnect"); }
    void cancel() override {}

    int requests(const std::string& kind) const {
        int n = 0;
        for (const std::string& entry : log) n += entry.rfind(kind + " ", 0) == 0;
        return n;
    }
    int requests() const { return requests("connect") + requests("GET") + requests("HEAD"); }

private:
    std::string host_;
};

}  // namespace

// ---------------------------------------------------------------- parsing

TEST(UpdateCheckNumericId, ReadsUpToEightHexDigitsStoppingAtTheFirstOther) {
    EXPECT_EQ(numericId("0012ABCDsecret"), 0x0012ABCDu);
    EXPECT_EQ(numericId("12abcdef99"), 0x12ABCDEFu);  // only the first 8 characters
    EXPECT_EQ(numericId("FFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(numericId("12G45678"), 0x12u);
    EXPECT_EQ(numericId("x1234567"), 0u);
    EXPECT_EQ(numericId(" 1234567"), 0u);
    EXPECT_EQ(numericId(""), 0u);
}

TEST(AutoupdtCfg, LinesEndAtLineFeedOrNulAndDropEveryCarriageReturn) {
    EXPECT_EQ(updateConfigurationLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(updateConfigurationLines("a\rb\r\n"), (Lines{"ab"}));
    EXPECT_EQ(updateConfigurationLines(std::string("a\0b\n\nc\r", 7)), (Lines{"a", "b", "", "c"}));
    // A last line that is empty once its CRs are dropped does not count.
    EXPECT_EQ(updateConfigurationLines("a\n\r"), (Lines{"a"}));
    EXPECT_TRUE(updateConfigurationLines("").empty());
}

TEST(AutoupdtCfg, OverlongLinesAreCutWithoutStartingANewLine) {
    std::string text = std::string(1200, 'x') + "\nnext";
    Lines lines = updateConfigurationLines(text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(maxUpdateTextLength, 'x'));
    EXPECT_EQ(lines[1], "next");
}

TEST(AutoupdtCfg, LineNeedsAHexIdAndFourMoreFields) {
    auto edition = parsePublishedEdition("12abcd 7.12.2026 14:05 slovnik.dsl 3.1 extra");
    ASSERT_TRUE(edition);
    EXPECT_EQ(edition->id, 0x12ABCDu);
    EXPECT_EQ(edition->date, "7.12.2026");
    EXPECT_EQ(edition->time, "14:05");
    EXPECT_EQ(edition->file, "slovnik.dsl");
    EXPECT_EQ(edition->version, "3.1");

    EXPECT_EQ(parsePublishedEdition("\t 0000000000012ABCD\t7.12.2026  14:05 f v")->id, 0x12ABCDu);
    EXPECT_FALSE(parsePublishedEdition("0012ABCD 7.12.2026 14:05 slovnik.dsl"));
    EXPECT_FALSE(parsePublishedEdition("ZZ 7.12.2026 14:05 slovnik.dsl 3.1"));
    EXPECT_FALSE(parsePublishedEdition("123456789 7.12.2026 14:05 f v"));  // beyond 32 bits
    EXPECT_FALSE(parsePublishedEdition("100000000000000000012ABCD 7.12.2026 14:05 f v"));  // no wrap-around
    EXPECT_FALSE(parsePublishedEdition(""));
}

TEST(AutoupdtCfg, FirstCompleteLineForTheIdIsUsed) {
    const std::string text =
        "# published editions\n"
        "0012ABCE 1.1.2026 10:00 other.dsl 9\n"
        "0012abcd 2.2.2026 11:00 four-fields.dsl\n"
        "12ABCD 3.3.2026 12:00 first.dsl 1\r\n"
        "0012ABCD 4.4.2026 13:00 second.dsl 2\n";
    auto edition = findPublishedEdition(text, 0x0012ABCDu);
    ASSERT_TRUE(edition);
    EXPECT_EQ(edition->file, "first.dsl");
    EXPECT_EQ(edition->version, "1");
    EXPECT_FALSE(findPublishedEdition(text, 0x1u));
    EXPECT_FALSE(findPublishedEdition("0012ABCD 2.2.2026 11:00 four-fields.dsl", 0x0012ABCDu));
}

TEST(PublicationStamp, DayMonthYearHourMinuteBecomeYearFirstDigits) {
    EXPECT_EQ(publicationStamp("7.12.2026", "14:05"), "202612071405");
    EXPECT_EQ(publicationStamp("07.01.2026", "9:5"), "202601070905");
    EXPECT_EQ(publicationStamp("7.12.2026", "14:05:59"), "202612071405");  // seconds ignored
    EXPECT_EQ(publicationStamp("7.12.2026", ""), "202612070000");
    EXPECT_EQ(publicationStamp("", ""), "000000000000");
    // Reading stops at the first text that is not a number.
    EXPECT_EQ(publicationStamp("7/12/2026", "14:05"), "000000070000");
}

// "[scheme://]host/path": the scheme, in any letter case, is cut; without
// one the location is plain HTTP.
TEST(UpdateCheckLocation, SchemeHostBeforeTheNextSlashAndPathFromIt) {
    const struct {
        const char* location;
        HttpScheme scheme;
        const char* host;
        const char* path;
    } cases[] = {
        {"127.0.0.1:8717/trelvo/v2", HttpScheme::http, "127.0.0.1:8717", "/trelvo/v2"},
        {"server.lan", HttpScheme::http, "server.lan", ""},
        {"server.lan/", HttpScheme::http, "server.lan", "/"},
        {"https://updates.lan:8443/trelvo", HttpScheme::https, "updates.lan:8443", "/trelvo"},
        {"HTTPS://updates.lan", HttpScheme::https, "updates.lan", ""},
        {"Http://updates.lan/a/b", HttpScheme::http, "updates.lan", "/a/b"},
        {"https://", HttpScheme::https, "", ""},
        // Only a whole scheme at the very start counts; anything else stays
        // in the host, where the client refuses it rather than going elsewhere.
        {" https://x.lan/p", HttpScheme::http, " https:", "//x.lan/p"},
        {"ftp://x.lan/p", HttpScheme::http, "ftp:", "//x.lan/p"},
        {"https:/x.lan/p", HttpScheme::http, "https:", "/x.lan/p"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        const UpdateLocation split = splitUpdateLocation(c.location);
        EXPECT_EQ(split.scheme, c.scheme);
        EXPECT_EQ(split.host, c.host);
        EXPECT_EQ(split.path, c.path);
    }
}

// ---------------------------------------------------------------- the check

namespace {

constexpr const char* firstHost = "server.lan";
constexpr const char* secondHost = "127.0.0.1:8717";

// An edition of the dictionary 0012ABCD as publish makes it, stamped as its
// line in autoupdt.cfg announces.
std::string editionBytes(const std::string& id = "0012ABCD", const std::string& stamp = "202612071405",
                         const std::string& term = "kolej") {
    DictionaryHeader header;
    header.name = "Slovník";
    header.idAndAccessCode = id;
    header.updateStamp = stamp;
    EntryList entries;
    entries.append(term, "track", "", 0);
    return serializeDictionary(header, entries);
}
const std::string dictionaryBytes = editionBytes();

}  // namespace

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override {
        downloadPath = folder + "/download.dsl";

        store.header.filePath = folder + "/active.dsl";
        store.header.idAndAccessCode = "0012ABCDaccess";
        store.header.updateStamp = "202601010800";

        ui.setStatus = [this](const std::string& text) {
            statusText = text;
            statusHistory.push_back(text);
        };
        ui.status = [this] { return statusText; };
        ui.askToSynchronise = [this](const EditionOffer& offer) {
            askedVersions.push_back(offer.version);
            offers.push_back(offer);
            return answer;
        };
        // The merge as the window runs it: it reads the file, says what it
        // would do and changes the dictionary only when agreed to.
        ui.synchroniseWithDownload = [this](const std::string& path,
                                            const std::function<bool(const SyncCounts&)>& agree) {
            synchronisedPaths.push_back(path);
            downloadSeenBySync = readBytes(path);
            stampDuringSync = store.header.updateStamp;
            if (mergeOutcome != SyncOutcome::synchronised) return mergeOutcome;
            return agree(SyncCounts{4, 2, 3}) ? SyncOutcome::synchronised : SyncOutcome::declined;
        };
        ui.save = [this] {
            savedStamps.push_back(store.header.updateStamp);
            return true;
        };
        ui.today = [] { return 753'000; };
        ui.reportCompleted = [this] { ++completed; };
    }

    // Publishes autoupdt.cfg and the dictionary file at host + "/trelvo".
    void publish(const std::string& host, const std::string& configuration) {
        http.bodies[host + "/trelvo/autoupdt.cfg"] = configuration;
        http.bodies[host + "/trelvo/slovnik.dsl"] = dictionaryBytes;
    }

    UpdateCheckResult check(const std::vector<std::string>& locations, bool toggleDown = true) {
        return checkForUpdate(store, toggleDown, locations, http, downloadPath, policy, ui, lastUpdateDay);
    }

    void expectNothingMerged() {
        EXPECT_TRUE(synchronisedPaths.empty());
        expectNothingStored();
    }
    void expectNothingStored() {
        EXPECT_TRUE(savedStamps.empty());
        EXPECT_EQ(completed, 0);
        EXPECT_EQ(store.header.updateStamp, "202601010800");
        EXPECT_EQ(lastUpdateDay, 700'000);
    }

    trelvo::support::TemporaryFolder temporary{"trelvo-update"};
    std::string folder = temporary.path().string();
    std::string downloadPath;
    DictionaryStore store;
    FakeHttp http;
    SignaturePolicy policy;
    UpdateUi ui;
    int lastUpdateDay = 700'000;

    std::string statusText = "Slovník otevřen";
    Lines statusHistory;
    bool answer = true;
    Lines askedVersions;
    std::vector<EditionOffer> offers;
    SyncOutcome mergeOutcome = SyncOutcome::synchronised;
    Lines synchronisedPaths;
    std::string downloadSeenBySync;
    std::string stampDuringSync;
    std::vector<std::string> savedStamps;
    int completed = 0;
};

const std::vector<std::string> oneLocation{std::string(firstHost) + "/trelvo"};
const std::vector<std::string> twoLocations{std::string(firstHost) + "/trelvo", std::string(secondHost) + "/trelvo"};
const std::string newerLine = "0012ABCD 7.12.2026 14:05 slovnik.dsl 3.1\n";

TEST_F(UpdateCheck, NoRequestWhenToggleIsUpOrNoDictionaryIsOpen) {
    publish(firstHost, newerLine);
    UpdateCheckResult off = check(oneLocation, false);
    EXPECT_EQ(off.code, 2);
    EXPECT_EQ(off.outcome, UpdateOutcome::notChecked);

    store.header.filePath.clear();
    UpdateCheckResult closed = check(oneLocation, true);
    EXPECT_EQ(closed.code, 2);
    EXPECT_EQ(closed.outcome, UpdateOutcome::notChecked);

    EXPECT_TRUE(http.log.empty());
    EXPECT_TRUE(statusHistory.empty());
    EXPECT_TRUE(askedVersions.empty());
}

TEST_F(UpdateCheck, YesDownloadsMergesStoresTheStampAndReportsCompletion) {
    publish(firstHost, "# editions\n" + newerLine);
    UpdateCheckResult result = check(oneLocation);

    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.outcome, UpdateOutcome::updated);
    EXPECT_TRUE(result.error.empty());
    EXPECT_EQ(askedVersions, (Lines{"3.1"}));
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0].counts, (SyncCounts{4, 2, 3})) << "the question says what the merge will do";
    EXPECT_EQ(offers[0].signature.verdict, SignatureVerdict::none) << "and that nobody signed it";
    EXPECT_EQ(readBytes(downloadPath), dictionaryBytes);
    EXPECT_EQ(synchronisedPaths, (Lines{downloadPath}));
    EXPECT_EQ(downloadSeenBySync, dictionaryBytes);  // written before the merge
    EXPECT_EQ(stampDuringSync, "202601010800");      // the merge's own save keeps the old stamp
    EXPECT_EQ(store.header.updateStamp, "202612071405");
    EXPECT_EQ(savedStamps, (Lines{"202612071405"}));
    EXPECT_EQ(lastUpdateDay, 753'000);
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(statusText, "");
    EXPECT_EQ(statusHistory.front(), searchingStatus);

    EXPECT_EQ(result.signature.verdict, SignatureVerdict::none) << "neither signed nor asked to be";
    EXPECT_EQ(http.log, (Lines{"host server.lan", "connect server.lan", "GET server.lan/trelvo/autoupdt.cfg",
                               "HEAD server.lan/trelvo/slovnik.dsl", "GET server.lan/trelvo/slovnik.dsl",
                               "GET server.lan/trelvo/slovnik.dsl.sig", "disconnect"}));
    EXPECT_EQ(http.limits, (std::vector<std::size_t>{1u << 20, 256u << 20, 4096}));

    // The same edition is not offered again.
    askedVersions.clear();
    UpdateCheckResult again = check(oneLocation);
    EXPECT_EQ(again.code, 2);
    EXPECT_EQ(again.outcome, UpdateOutcome::upToDate);
    EXPECT_TRUE(askedVersions.empty());
}

TEST_F(UpdateCheck, AFailedSaveAfterTheMergeIsNoCompletion) {
    publish(firstHost, newerLine);
    ui.save = [this] {
        savedStamps.push_back(store.header.updateStamp);
        return false;  // a full disk; the window has shown its error box
    };
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::saveFailed);
    EXPECT_TRUE(result.error.empty()) << "the save said it already";
    EXPECT_EQ(savedStamps, (Lines{"202612071405"}));
    EXPECT_EQ(completed, 0) << "no \"dokončena\"";
    EXPECT_EQ(lastUpdateDay, 700'000) << "the reminder still comes";
}

// An edition is bound to what autoupdt.cfg claims for it: the dictionary
// and the stamp. Whatever else the server hands over is refused before the
// question, download.dsl stays as it was, nothing is stored.
TEST_F(UpdateCheck, AFileOfAnotherDictionaryOrAnotherStampIsRefused) {
    std::ofstream(downloadPath, std::ios::binary) << "previous download";
    const struct {
        std::string bytes;
        std::string error;
    } cases[] = {
        {editionBytes("5A3C1E02"), "Stažený soubor je vydáním jiného slovníku (ID 5A3C1E02) než otevřený slovník "
                                   "(ID 0012ABCD)."},
        // An earlier edition served under the new line: a replay.
        {editionBytes("0012ABCD", "202601010800"),
         "Datum vydání uvedené ve staženém souboru (1.1.2026 8:00) nesouhlasí s datem, které ohlašuje aktualizační "
         "server (7.12.2026 14:05); může jít o starší vydání podstrčené znovu."},
        {editionBytes("0012ABCD", "202612071406"),
         "Datum vydání uvedené ve staženém souboru (7.12.2026 14:06) nesouhlasí s datem, které ohlašuje aktualizační "
         "server (7.12.2026 14:05); může jít o starší vydání podstrčené znovu."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        publish(firstHost, newerLine);
        http.bodies[std::string(firstHost) + "/trelvo/slovnik.dsl"] = c.bytes;
        const UpdateCheckResult result = check(oneLocation);
        EXPECT_EQ(result.code, 2);
        EXPECT_EQ(result.outcome, UpdateOutcome::downloadRefused);
        EXPECT_EQ(result.error, c.error + " Stažený soubor nebyl použit, slovník zůstal beze změny.");
        EXPECT_TRUE(askedVersions.empty()) << "no question about another dictionary";
        EXPECT_EQ(readBytes(downloadPath), "previous download");
        expectNothingMerged();
    }

    // A merge that finds another dictionary after all (the file changed
    // under the check) declines without asking: refused, not imported.
    publish(firstHost, newerLine);
    mergeOutcome = SyncOutcome::declined;
    const UpdateCheckResult merged = check(oneLocation);
    EXPECT_EQ(merged.outcome, UpdateOutcome::downloadRefused);
    EXPECT_EQ(merged.error, "Stažený soubor je vydáním jiného slovníku než otevřený slovník. Stažený soubor nebyl "
                            "použit, slovník zůstal beze změny.");
    EXPECT_TRUE(askedVersions.empty());
    expectNothingStored();
}

// A server of the old kind publishes unsigned files without a stamp of their
// own: they are taken as before, the announced stamp stored.
TEST_F(UpdateCheck, AnUnsignedFileWithoutAStampOfItsOwnIsTaken) {
    publish(firstHost, newerLine);
    http.bodies[std::string(firstHost) + "/trelvo/slovnik.dsl"] = editionBytes("0012ABCD", "");
    const UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.outcome, UpdateOutcome::updated);
    EXPECT_EQ(store.header.updateStamp, "202612071405");
}

TEST(AutoupdtCfg, SignedAfterTheVersionMarksTheEdition) {
    EXPECT_TRUE(parsePublishedEdition("12ABCD 7.12.2026 14:05 slovnik.dsl 3.1 signed")->signedMark);
    EXPECT_TRUE(parsePublishedEdition("12ABCD 7.12.2026 14:05 slovnik.dsl 3.1\tsigned  more")->signedMark);
    EXPECT_FALSE(parsePublishedEdition("12ABCD 7.12.2026 14:05 slovnik.dsl 3.1")->signedMark);
    EXPECT_FALSE(parsePublishedEdition("12ABCD 7.12.2026 14:05 slovnik.dsl 3.1 beta")->signedMark);
    EXPECT_FALSE(parsePublishedEdition("12ABCD 7.12.2026 14:05 slovnik.dsl 3.1 signed-later")->signedMark);
    // Five fields only: "signed" is the version, not a mark.
    auto versionOnly = parsePublishedEdition("12ABCD 7.12.2026 14:05 slovnik.dsl signed");
    EXPECT_EQ(versionOnly->version, "signed");
    EXPECT_FALSE(versionOnly->signedMark);
}

TEST_F(UpdateCheck, IdMatchesNumericallyInAnyLetterCaseAndWithoutLeadingZeros) {
    for (const std::string line : {"0012abcd 7.12.2026 14:05 slovnik.dsl 3.1", "12ABCD 7.12.2026 14:05 slovnik.dsl 3.1",
                                   "12abcd\t7.12.2026\t14:05\tslovnik.dsl\t3.1\r\n"}) {
        SCOPED_TRACE(line);
        answer = false;
        askedVersions.clear();
        publish(firstHost, line);
        EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::declined);
        EXPECT_EQ(askedVersions, (Lines{"3.1"}));
    }
}

TEST_F(UpdateCheck, LineWithOnlyFourFieldsIsSkipped) {
    publish(firstHost, "0012ABCD 7.12.2026 14:05 slovnik.dsl\n0012ABCE 7.12.2026 14:05 slovnik.dsl 3.1\n");
    UpdateCheckResult result = check(twoLocations);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::noEdition);
    EXPECT_TRUE(askedVersions.empty());
    EXPECT_EQ(http.requests("HEAD"), 0);
}

TEST_F(UpdateCheck, NoLineForTheIdEndsTheCheckWithoutTryingTheNextLocation) {
    publish(firstHost, "0099FFFF 7.12.2026 14:05 slovnik.dsl 3.1\n");
    publish(secondHost, newerLine);
    UpdateCheckResult result = check(twoLocations);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::noEdition);
    EXPECT_EQ(statusText, "");
    EXPECT_EQ(http.log, (Lines{"host server.lan", "connect server.lan", "GET server.lan/trelvo/autoupdt.cfg",
                               "disconnect"}));
}

TEST_F(UpdateCheck, OnlyALaterStampIsOffered) {
    store.header.updateStamp = "202612071405";
    publish(firstHost, newerLine);
    UpdateCheckResult equal = check(oneLocation);
    EXPECT_EQ(equal.code, 2);
    EXPECT_EQ(equal.outcome, UpdateOutcome::upToDate);
    EXPECT_TRUE(askedVersions.empty());
    EXPECT_EQ(http.requests("HEAD"), 0);
    EXPECT_EQ(statusText, "");

    // Published 2025, stored 2026: an earlier edition served again is not offered.
    publish(firstHost, "0012ABCD 1.6.2025 8:00 slovnik.dsl 2.9\n");
    EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::upToDate);
    EXPECT_TRUE(askedVersions.empty());
    EXPECT_EQ(http.requests("HEAD"), 0);

    // A stored stamp that is no date (kept from a server before stamps were
    // checked) gives way to any real one.
    store.header.updateStamp = "2147483647-7";
    publish(firstHost, newerLine);
    answer = false;
    EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::declined);
    EXPECT_EQ(askedVersions, (Lines{"3.1"}));
}

TEST_F(UpdateCheck, AnImpossibleStampIsRefusedAndNotStored) {
    publish(firstHost, "0012ABCD 99999999999.-7.2147483648 25:61:99 slovnik.dsl 6.6\n");
    const UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::impossibleStamp);
    EXPECT_EQ(result.error, "Aktualizační server ohlašuje vydání slovníku s nemožným datem nebo časem vydání "
                            "\"99999999999.-7.2147483648 25:61:99\"; vydání nebylo staženo, slovník zůstal beze "
                            "změny.");
    EXPECT_EQ(http.requests("HEAD"), 0);
    EXPECT_EQ(statusText, "");
    expectNothingMerged();

    for (const char* line : {"0012ABCD 31.2.2026 10:00 slovnik.dsl 1", "0012ABCD 29.2.2025 10:00 slovnik.dsl 1",
                             "0012ABCD 1.13.2026 10:00 slovnik.dsl 1", "0012ABCD 1.1.2026 24:00 slovnik.dsl 1",
                             "0012ABCD 1.1.0 10:00 slovnik.dsl 1", "0012ABCD 1.1.12026 10:00 slovnik.dsl 1"}) {
        SCOPED_TRACE(line);
        publish(firstHost, line);
        EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::impossibleStamp);
    }
    expectNothingMerged();
}

TEST(UpdateStamps, LaterStampsArePossibleOnesAfterTheStoredOne) {
    EXPECT_TRUE(possibleStamp("202402291200"));
    EXPECT_FALSE(possibleStamp("202302291200"));
    EXPECT_FALSE(possibleStamp("20260101120"));
    EXPECT_FALSE(possibleStamp("2026010112000"));
    EXPECT_FALSE(possibleStamp("2026-1011200"));
    EXPECT_TRUE(laterStamp("202612071405", "202612071404"));
    EXPECT_FALSE(laterStamp("202612071405", "202612071405"));
    EXPECT_FALSE(laterStamp("202512071405", "202612071405"));
    EXPECT_TRUE(laterStamp("202612071405", ""));
    EXPECT_TRUE(laterStamp("000101010000", "99999999999"));
    EXPECT_FALSE(laterStamp("209913322500", ""));
}

TEST_F(UpdateCheck, RefusedConnectionMovesOnSilentlyAndAtTheLastLocationGivesZero) {
    http.refusing.insert(firstHost);
    publish(secondHost, newerLine);
    answer = false;
    UpdateCheckResult second = check(twoLocations);
    EXPECT_EQ(second.outcome, UpdateOutcome::declined);
    EXPECT_TRUE(second.error.empty());
    EXPECT_EQ(askedVersions.size(), 1u);
    EXPECT_EQ(http.requests("GET"), 3) << "autoupdt.cfg, the file, its signature";
    EXPECT_EQ(http.log.back(), "disconnect");
    EXPECT_EQ(http.log[3], "host 127.0.0.1:8717");

    http.log.clear();
    statusHistory.clear();
    http.refusing.insert(secondHost);
    UpdateCheckResult none = check(twoLocations);
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.outcome, UpdateOutcome::unreachable);
    EXPECT_EQ(statusText, "");
    EXPECT_EQ(statusHistory, (Lines{searchingStatus, searchingStatus, ""}));
    EXPECT_EQ(http.requests("GET"), 0);
    EXPECT_EQ(std::count(http.log.begin(), http.log.end(), "disconnect"), 2);
}

// An HTTPS location whose certificate fails is passed over like one that does
// not answer, but it is named: in the status at once and, when no later
// location answers, in the error the check ends with.
TEST_F(UpdateCheck, FailedHttpsEndsTheLocationLikeAnUnreachableOneAndNamesIt) {
    const std::vector<std::string> locations{"https://server.lan/trelvo", "127.0.0.1:8717/trelvo"};
    const std::string named =
        "Zabezpečené spojení s aktualizačním serverem \"https://server.lan/trelvo\" se nepodařilo navázat, "
        "server nebyl použit (certificate problem).";
    http.untrusted.insert(firstHost);
    publish(secondHost, newerLine);
    answer = false;
    UpdateCheckResult second = check(locations);
    EXPECT_EQ(second.outcome, UpdateOutcome::declined);
    EXPECT_TRUE(second.error.empty()) << "a location that answered decided";
    EXPECT_EQ(statusHistory, (Lines{searchingStatus, named, searchingStatus, ""}));
    EXPECT_EQ(http.log[0], "host https://server.lan");
    EXPECT_EQ(http.log[3], "host 127.0.0.1:8717");

    // Nothing answers after it: ended as unreachable, with the failure as the error.
    http.refusing.insert(secondHost);
    UpdateCheckResult none = check(locations);
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.outcome, UpdateOutcome::unreachable);
    EXPECT_EQ(none.error, named);
    EXPECT_EQ(statusText, "");

    // Each failed HTTPS location is named, one a line.
    http.refusing.clear();
    http.untrusted.insert(secondHost);
    none = check({"https://server.lan/trelvo", "https://127.0.0.1:8717/trelvo"});
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.error.find(named + "\n"), 0u) << none.error;
    EXPECT_NE(none.error.find("\"https://127.0.0.1:8717/trelvo\""), std::string::npos) << none.error;
    expectNothingStored();
}

TEST_F(UpdateCheck, FailedConfigurationDownloadRestoresStatusAndTriesTheNextLocation) {
    publish(secondHost, newerLine);  // nothing published at the first
    answer = false;
    UpdateCheckResult result = check(twoLocations);
    EXPECT_EQ(result.outcome, UpdateOutcome::declined);
    EXPECT_EQ(statusHistory, (Lines{searchingStatus, "Slovník otevřen", searchingStatus, ""}));
    EXPECT_EQ(http.requests("GET"), 4);

    // At the last location the failure ends the check with 2.
    statusHistory.clear();
    http.bodies.clear();
    UpdateCheckResult last = check(twoLocations);
    EXPECT_EQ(last.code, 2);
    EXPECT_EQ(last.outcome, UpdateOutcome::configurationFailed);
    EXPECT_EQ(statusText, "");
    EXPECT_EQ(statusHistory.back(), "");
}

TEST_F(UpdateCheck, FailedHeadGivesTwoWithoutAskingOrDownloading) {
    publish(firstHost, newerLine);
    publish(secondHost, newerLine);
    http.failingHeads.insert(std::string(firstHost) + "/trelvo/slovnik.dsl");
    UpdateCheckResult result = check(twoLocations);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::fileMissing);
    EXPECT_TRUE(askedVersions.empty());
    EXPECT_EQ(http.requests("GET"), 1);
    EXPECT_EQ(http.requests("connect"), 1);  // the second location is not tried
    EXPECT_EQ(statusText, "");
    expectNothingMerged();
}

TEST_F(UpdateCheck, NoMergesNothing) {
    publish(firstHost, newerLine);
    answer = false;
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::declined);
    EXPECT_EQ(askedVersions, (Lines{"3.1"}));
    EXPECT_EQ(statusText, "");
    EXPECT_EQ(synchronisedPaths.size(), 1u) << "asked from within the merge, before it changes anything";
    expectNothingStored();

    // Without a question callback the check declines as well.
    ui.askToSynchronise = nullptr;
    EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::declined);
    expectNothingStored();
}

TEST_F(UpdateCheck, FailedDownloadOrWriteIsAnErrorAndMergesNothing) {
    std::ofstream(downloadPath, std::ios::binary) << "previous download";
    publish(firstHost, newerLine);
    http.failingGets.insert(std::string(firstHost) + "/trelvo/slovnik.dsl");
    UpdateCheckResult failedGet = check(oneLocation);
    EXPECT_EQ(failedGet.code, 2);
    EXPECT_EQ(failedGet.outcome, UpdateOutcome::downloadFailed);
    EXPECT_EQ(failedGet.error, "404 Not Found");
    EXPECT_EQ(readBytes(downloadPath), "previous download");
    EXPECT_EQ(http.log.back(), "disconnect");
    expectNothingMerged();

    http.failingGets.clear();
    downloadPath = folder + "/missing-folder/download.dsl";
    UpdateCheckResult failedWrite = check(oneLocation);
    EXPECT_EQ(failedWrite.code, 2);
    EXPECT_EQ(failedWrite.outcome, UpdateOutcome::downloadFailed);
    EXPECT_NE(failedWrite.error.find(downloadPath), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(downloadPath));
    EXPECT_EQ(statusText, "");
    expectNothingMerged();
}

TEST_F(UpdateCheck, DownloadTheMergeRefusesIsAnErrorStoresNothingAndIsOfferedAgain) {
    publish(firstHost, newerLine);
    mergeOutcome = SyncOutcome::unreadable;
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::downloadRefused);
    EXPECT_NE(result.error.find(downloadPath), std::string::npos) << result.error;
    EXPECT_EQ(synchronisedPaths, (Lines{downloadPath}));
    EXPECT_EQ(statusText, "");
    expectNothingStored();

    // A merge that would make the dictionary too large is refused as well, and says why.
    mergeOutcome = SyncOutcome::tooLarge;
    result = check(oneLocation);
    EXPECT_EQ(result.outcome, UpdateOutcome::downloadRefused);
    EXPECT_EQ(result.error, tooLargeMergeMessage(downloadPath));
    expectNothingStored();

    answer = false;
    askedVersions.clear();
    mergeOutcome = SyncOutcome::synchronised;
    EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::declined);
    EXPECT_EQ(askedVersions, (Lines{"3.1"}));
}

TEST_F(UpdateCheck, RequestPathsFollowTheLocationAndVersionReachesTheQuestionAsUtf8) {
    http.bodies["bare.lan/autoupdt.cfg"] = "0012ABCD 7.12.2026 14:05 dir/slovnik.dsl verze\xE8\n";
    http.bodies["bare.lan/dir/slovnik.dsl"] = dictionaryBytes;
    answer = false;
    UpdateCheckResult result = check({"bare.lan"});
    EXPECT_EQ(result.outcome, UpdateOutcome::declined);
    EXPECT_EQ(askedVersions, (Lines{"verze\xC4\x8D"}));  // "č" of code page 1250
    EXPECT_EQ(http.log, (Lines{"host bare.lan", "connect bare.lan", "GET bare.lan/autoupdt.cfg",
                               "HEAD bare.lan/dir/slovnik.dsl", "GET bare.lan/dir/slovnik.dsl",
                               "GET bare.lan/dir/slovnik.dsl.sig", "disconnect"}));
}

// ---------------------------------------------------------------- signatures

namespace {

const std::string signedLine = "0012ABCD 7.12.2026 14:05 slovnik.dsl 3.1 signed\n";
const std::string refusalEnd = " Stažený soubor nebyl použit, slovník zůstal beze změny.";
const std::string notMatching =
    "Podpis staženého vydání slovníku nesouhlasí s žádným důvěryhodným klíčem: soubor byl po podepsání změněn, "
    "nebo ho podepsal někdo jiný." + refusalEnd;

}  // namespace

class SignedUpdateCheck : public UpdateCheck {
protected:
    void SetUp() override {
        UpdateCheck::SetUp();
        policy.trustedKeys = {TrustedKey{publisher.publicKey, "vydavatel"}, TrustedKey{second.publicKey, "druhý"}};
        std::ofstream(downloadPath, std::ios::binary) << "previous download";
    }

    // The signature of bytes beside the published dictionary file.
    void publishSignature(const std::string& bytes, const SigningKey& key) {
        http.bodies[std::string(firstHost) + "/trelvo/slovnik.dsl.sig"] = signEdition(bytes, key);
    }

    // The check ended refused for why, before any question: no merge,
    // nothing stored, the earlier download.dsl kept, and the edition fetched
    // again at the next check.
    void expectRefused(const UpdateCheckResult& result, const std::string& why) {
        EXPECT_EQ(result.code, 2);
        EXPECT_EQ(result.outcome, UpdateOutcome::downloadRefused);
        EXPECT_EQ(result.signature.verdict, SignatureVerdict::refused);
        EXPECT_EQ(result.error, why);
        EXPECT_EQ(readBytes(downloadPath), "previous download");
        EXPECT_EQ(statusText, "");
        EXPECT_TRUE(askedVersions.empty());
        expectNothingMerged();
        const int fetched = http.requests("GET");
        EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::downloadRefused);
        EXPECT_EQ(http.requests("GET"), fetched + 3) << "offered again: autoupdt.cfg, the file and its signature";
    }

    SigningKey publisher = generateSigningKey();
    SigningKey second = generateSigningKey();
    SigningKey stranger = generateSigningKey();
};

TEST_F(SignedUpdateCheck, AnEditionSignedWithAnyTrustedKeyIsTaken) {
    publish(firstHost, signedLine);
    publishSignature(dictionaryBytes, second);
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.outcome, UpdateOutcome::updated);
    EXPECT_EQ(result.signature.verdict, SignatureVerdict::verified);
    EXPECT_EQ(result.signature.signer, "druhý");
    ASSERT_EQ(offers.size(), 1u);
    EXPECT_EQ(offers[0].signature.signer, "druhý") << "the question names who signed it";
    EXPECT_EQ(downloadSeenBySync, dictionaryBytes);
    EXPECT_EQ(store.header.updateStamp, "202612071405");
    EXPECT_EQ(http.limits.back(), signatureLimit);
}

// Whatever was changed, the file or the key, the download is not merged.
TEST_F(SignedUpdateCheck, ATamperedFileOrAnUntrustedKeyIsRefused) {
    publish(firstHost, signedLine);
    publishSignature(dictionaryBytes, publisher);
    http.bodies[std::string(firstHost) + "/trelvo/slovnik.dsl"] = editionBytes("0012ABCD", "202612071405", "vlak");
    expectRefused(check(oneLocation), notMatching);

    publish(firstHost, signedLine);
    publishSignature(dictionaryBytes, stranger);
    expectRefused(check(oneLocation), notMatching);

    http.bodies[std::string(firstHost) + "/trelvo/slovnik.dsl.sig"] = "<html>404</html>";
    expectRefused(check(oneLocation), notMatching);
}

TEST_F(SignedUpdateCheck, AMarkedEditionWithoutItsSignatureIsRefused) {
    publish(firstHost, signedLine);
    expectRefused(check(oneLocation),
                  "Vydání slovníku je na aktualizačním serveru označeno jako podepsané, ale podpis k němu tam není." +
                      refusalEnd);
}

// A published signature counts even where autoupdt.cfg is of the old kind:
// removing the mark does not get a forged file past it.
TEST_F(SignedUpdateCheck, ASignatureIsCheckedEvenWithoutTheMark) {
    publish(firstHost, newerLine);
    publishSignature(dictionaryBytes, stranger);
    expectRefused(check(oneLocation), notMatching);

    publishSignature(dictionaryBytes, publisher);
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.outcome, UpdateOutcome::updated);
    EXPECT_EQ(result.signature.signer, "vydavatel");
}

TEST_F(SignedUpdateCheck, WithoutTrustedKeysASignedEditionIsRefused) {
    policy.trustedKeys.clear();
    publish(firstHost, signedLine);
    publishSignature(dictionaryBytes, publisher);
    expectRefused(check(oneLocation),
                  "Stažené vydání slovníku je podepsané, ale program nemá žádný důvěryhodný klíč, kterým by podpis "
                  "ověřil (soubor trusted-keys v programové složce chybí nebo žádný klíč neobsahuje)." +
                      refusalEnd);
}

// A server of the old kind, neither marking nor signing, still delivers,
// unless the program demands signatures.
TEST_F(SignedUpdateCheck, AnUnsignedEditionIsTakenUnlessSignaturesAreRequired) {
    publish(firstHost, newerLine);
    policy.requireSigned = true;
    expectRefused(check(oneLocation),
                  "Program přijímá jen podepsaná vydání slovníku, ale k nalezenému vydání není na aktualizačním "
                  "serveru podpis." + refusalEnd);

    policy.requireSigned = false;
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.outcome, UpdateOutcome::updated);
    EXPECT_EQ(result.signature.verdict, SignatureVerdict::none);
    EXPECT_EQ(readBytes(downloadPath), dictionaryBytes);

    // Required, and signed: taken.
    policy.requireSigned = true;
    store.header.updateStamp = "202601010800";
    publishSignature(dictionaryBytes, publisher);
    EXPECT_EQ(check(oneLocation).signature.verdict, SignatureVerdict::verified);
}

// A signature that does not come is no proof that there is none: only a
// server that answers "not found" has no signature. A location that has given
// a verified signature once is remembered, and an unsigned edition from it is
// refused afterwards, with or without the mark.
TEST_F(SignedUpdateCheck, AMissingSignatureIsRefusedWhereOneWasKeptAwayOrGivenBefore) {
    policy.signedLocationsPath = folder + "/signed-locations";
    const std::string sigPath = std::string(firstHost) + "/trelvo/slovnik.dsl.sig";
    publish(firstHost, newerLine);
    publishSignature(dictionaryBytes, publisher);

    // Taken once, signed: the location is remembered.
    UpdateCheckResult signedOnce = check(oneLocation);
    EXPECT_EQ(signedOnce.outcome, UpdateOutcome::updated);
    EXPECT_NE(readBytes(policy.signedLocationsPath).find("\nserver.lan/trelvo\n"), std::string::npos)
        << readBytes(policy.signedLocationsPath);
    SignaturePolicy read = readSignaturePolicy({}, {}, policy.signedLocationsPath);
    EXPECT_TRUE(read.signedBefore("server.lan/trelvo"));
    policy.signedLocations = read.signedLocations;

    // The next edition comes without its signature and without the mark.
    store.header.updateStamp = "202601010800";
    synchronisedPaths.clear();
    savedStamps.clear();
    askedVersions.clear();
    completed = 0;
    lastUpdateDay = 700'000;
    http.bodies.erase(sigPath);
    std::ofstream(downloadPath, std::ios::binary | std::ios::trunc) << "previous download";
    expectRefused(check(oneLocation), "Tento aktualizační server dříve vydával podepsaná vydání slovníku, ale k "
                                      "nalezenému vydání podpis nemá." + refusalEnd);
    // Known under another scheme or letter case of its host alike.
    publish("Server.LAN", newerLine);
    const UpdateCheckResult otherwise = check({"HTTPS://Server.LAN/trelvo"});
    EXPECT_EQ(otherwise.outcome, UpdateOutcome::downloadRefused) << otherwise.error;
}

TEST_F(SignedUpdateCheck, ASignatureThatDoesNotComeIsNoAbsentOne) {
    publish(firstHost, newerLine);
    const std::string sigPath = std::string(firstHost) + "/trelvo/slovnik.dsl.sig";
    publishSignature(dictionaryBytes, publisher);
    http.brokenGets.insert(sigPath);  // as a body over the limit, a cut transfer or a timeout
    expectRefused(check(oneLocation), "Podpis vydání slovníku se z aktualizačního serveru nepodařilo stáhnout "
                                      "(failed) a bez něj nelze vydání ověřit." + refusalEnd);
}

TEST(SignaturePolicyFiles, KeysFromTheFileAndRequireSignedByItsPresence) {
    const trelvo::support::TemporaryFolder folder("trelvo-keys");
    const std::string name = folder.path().string();
    const SigningKey key = generateSigningKey();
    std::ofstream(name + "/trusted-keys") << "# keys\n" << trustedKeyLine(key.publicKey, "vydavatel") << "\nnot a key\n";
    SignaturePolicy none = readSignaturePolicy(name + "/absent", name + "/require-signed", name + "/absent");
    EXPECT_TRUE(none.trustedKeys.empty());
    EXPECT_FALSE(none.requireSigned);

    std::ofstream(name + "/require-signed");
    SignaturePolicy read = readSignaturePolicy(name + "/trusted-keys", name + "/require-signed", name + "/absent");
    ASSERT_EQ(read.trustedKeys.size(), 1u);
    EXPECT_EQ(read.trustedKeys[0].key, key.publicKey);
    EXPECT_EQ(read.trustedKeys[0].comment, "vydavatel");
    EXPECT_TRUE(read.requireSigned);
    // A folder where the keys should be gives none rather than an endless read.
    EXPECT_TRUE(readSignaturePolicy(name, name + "/require-signed", name).trustedKeys.empty());

    // The demo key of earlier sources, its private half public, is trusted nowhere.
    std::ofstream(name + "/old-keys") << "aYs1sprFlob8l4z36QTkmhL/XzK6HjQYtXBZC/Lye5w= Trelvo demo key\n"
                                      << trustedKeyLine(key.publicKey, "vydavatel") << "\n";
    const SignaturePolicy old = readSignaturePolicy(name + "/old-keys", name + "/absent", name + "/absent");
    ASSERT_EQ(old.trustedKeys.size(), 1u);
    EXPECT_EQ(old.trustedKeys[0].comment, "vydavatel");
}
