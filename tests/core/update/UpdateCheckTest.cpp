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

#include "core/update/UpdateCheck.h"

using namespace trelvo;
using Lines = std::vector<std::string>;

namespace {

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
        if (it == bodies.end() || failingGets.count(host_ + path)) throw HttpError("404 Not Found");
        return it->second;
    }
    void head(const std::string& path) override {
        log.push_back("HEAD " + host_ + path);
        if (!bodies.count(host_ + path) || failingHeads.count(host_ + path)) throw HttpError("404 Not Found");
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

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

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
const std::string dictionaryBytes = "DSL new edition bytes";

}  // namespace

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = (std::filesystem::temp_directory_path() / "trelvo-update-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(name.data()));
        folder = name;
        downloadPath = folder + "/download.dsl";

        store.header.filePath = folder + "/active.dsl";
        store.header.idAndAccessCode = "0012ABCDaccess";
        store.header.updateStamp = "202601010800";

        ui.setStatus = [this](const std::string& text) {
            statusText = text;
            statusHistory.push_back(text);
        };
        ui.status = [this] { return statusText; };
        ui.askToSynchronise = [this](const std::string& version) {
            askedVersions.push_back(version);
            return answer;
        };
        ui.synchroniseWithDownload = [this](const std::string& path) {
            synchronisedPaths.push_back(path);
            downloadSeenBySync = readFile(path);
            stampDuringSync = store.header.updateStamp;
            return SyncOutcome::synchronised;
        };
        ui.save = [this] {
            savedStamps.push_back(store.header.updateStamp);
            return true;
        };
        ui.today = [] { return 753'000; };
        ui.reportCompleted = [this] { ++completed; };
    }
    void TearDown() override {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
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

    std::string folder;
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
    EXPECT_EQ(readFile(downloadPath), dictionaryBytes);
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

TEST_F(UpdateCheck, DeclinedImportInsideTheMergeStillStoresTheStamp) {
    publish(firstHost, newerLine);
    // Another ID in the downloaded file: the merge asks, the user refuses, nothing changes.
    ui.synchroniseWithDownload = [this](const std::string& path) {
        synchronisedPaths.push_back(path);
        return SyncOutcome::declined;
    };
    store.header.updateStamp.clear();  // never updated: the first check offers the edition

    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(synchronisedPaths.size(), 1u);
    EXPECT_EQ(store.header.updateStamp, "202612071405");
    EXPECT_EQ(savedStamps.size(), 1u);
    EXPECT_EQ(lastUpdateDay, 753'000);
    EXPECT_EQ(completed, 1);
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

TEST_F(UpdateCheck, EqualStampAsksNothingWhileAnOlderOneStillAsks) {
    store.header.updateStamp = "202612071405";
    publish(firstHost, newerLine);
    UpdateCheckResult equal = check(oneLocation);
    EXPECT_EQ(equal.code, 2);
    EXPECT_EQ(equal.outcome, UpdateOutcome::upToDate);
    EXPECT_TRUE(askedVersions.empty());
    EXPECT_EQ(http.requests("HEAD"), 0);
    EXPECT_EQ(statusText, "");

    // Published 2025, stored 2026: any difference counts.
    answer = false;
    publish(firstHost, "0012ABCD 1.6.2025 8:00 slovnik.dsl 2.9\n");
    EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::declined);
    EXPECT_EQ(askedVersions, (Lines{"2.9"}));
}

TEST_F(UpdateCheck, RefusedConnectionMovesOnSilentlyAndAtTheLastLocationGivesZero) {
    http.refusing.insert(firstHost);
    publish(secondHost, newerLine);
    answer = false;
    UpdateCheckResult second = check(twoLocations);
    EXPECT_EQ(second.outcome, UpdateOutcome::declined);
    EXPECT_TRUE(second.error.empty());
    EXPECT_EQ(askedVersions.size(), 1u);
    EXPECT_EQ(http.requests("GET"), 1);
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
    expectNothingMerged();
}

TEST_F(UpdateCheck, FailedConfigurationDownloadRestoresStatusAndTriesTheNextLocation) {
    publish(secondHost, newerLine);  // nothing published at the first
    answer = false;
    UpdateCheckResult result = check(twoLocations);
    EXPECT_EQ(result.outcome, UpdateOutcome::declined);
    EXPECT_EQ(statusHistory, (Lines{searchingStatus, "Slovník otevřen", searchingStatus, ""}));
    EXPECT_EQ(http.requests("GET"), 2);

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

TEST_F(UpdateCheck, NoDownloadsNothing) {
    publish(firstHost, newerLine);
    answer = false;
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::declined);
    EXPECT_EQ(http.requests("GET"), 1);
    EXPECT_FALSE(std::filesystem::exists(downloadPath));
    EXPECT_EQ(statusText, "");
    expectNothingMerged();

    // Without a question callback the check declines as well.
    ui.askToSynchronise = nullptr;
    EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::declined);
    EXPECT_FALSE(std::filesystem::exists(downloadPath));
}

TEST_F(UpdateCheck, FailedDownloadOrWriteIsAnErrorAndMergesNothing) {
    std::ofstream(downloadPath, std::ios::binary) << "previous download";
    publish(firstHost, newerLine);
    http.failingGets.insert(std::string(firstHost) + "/trelvo/slovnik.dsl");
    UpdateCheckResult failedGet = check(oneLocation);
    EXPECT_EQ(failedGet.code, 2);
    EXPECT_EQ(failedGet.outcome, UpdateOutcome::downloadFailed);
    EXPECT_EQ(failedGet.error, "404 Not Found");
    EXPECT_EQ(readFile(downloadPath), "previous download");
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
    ui.synchroniseWithDownload = [this](const std::string& path) {
        synchronisedPaths.push_back(path);
        return SyncOutcome::unreadable;
    };
    UpdateCheckResult result = check(oneLocation);
    EXPECT_EQ(result.code, 2);
    EXPECT_EQ(result.outcome, UpdateOutcome::downloadRefused);
    EXPECT_NE(result.error.find(downloadPath), std::string::npos) << result.error;
    EXPECT_EQ(synchronisedPaths, (Lines{downloadPath}));
    EXPECT_EQ(statusText, "");
    expectNothingStored();

    // A merge that would make the dictionary too large is refused as well, and says why.
    ui.synchroniseWithDownload = [](const std::string&) { return SyncOutcome::tooLarge; };
    result = check(oneLocation);
    EXPECT_EQ(result.outcome, UpdateOutcome::downloadRefused);
    EXPECT_EQ(result.error, tooLargeMergeMessage(downloadPath));
    expectNothingStored();

    answer = false;
    askedVersions.clear();
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
                               "HEAD bare.lan/dir/slovnik.dsl", "disconnect"}));
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

    // The check ended refused for why: no merge, nothing stored, the earlier
    // download.dsl kept, and the edition still offered at the next check.
    void expectRefused(const UpdateCheckResult& result, const std::string& why) {
        EXPECT_EQ(result.code, 2);
        EXPECT_EQ(result.outcome, UpdateOutcome::downloadRefused);
        EXPECT_EQ(result.signature.verdict, SignatureVerdict::refused);
        EXPECT_EQ(result.error, why);
        EXPECT_EQ(readFile(downloadPath), "previous download");
        EXPECT_EQ(statusText, "");
        expectNothingMerged();
        answer = false;
        askedVersions.clear();
        EXPECT_EQ(check(oneLocation).outcome, UpdateOutcome::declined);
        EXPECT_EQ(askedVersions, (Lines{"3.1"}));
        answer = true;
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
    EXPECT_EQ(downloadSeenBySync, dictionaryBytes);
    EXPECT_EQ(store.header.updateStamp, "202612071405");
    EXPECT_EQ(http.limits.back(), signatureLimit);
}

// Whatever was changed, the file or the key, the download is not merged.
TEST_F(SignedUpdateCheck, ATamperedFileOrAnUntrustedKeyIsRefused) {
    publish(firstHost, signedLine);
    publishSignature(dictionaryBytes, publisher);
    http.bodies[std::string(firstHost) + "/trelvo/slovnik.dsl"] = "DSL new edition bytes, one term changed";
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
    EXPECT_EQ(readFile(downloadPath), dictionaryBytes);

    // Required, and signed: taken.
    policy.requireSigned = true;
    store.header.updateStamp = "202601010800";
    publishSignature(dictionaryBytes, publisher);
    EXPECT_EQ(check(oneLocation).signature.verdict, SignatureVerdict::verified);
}

TEST(SignaturePolicyFiles, KeysFromTheFileAndRequireSignedByItsPresence) {
    std::string name = (std::filesystem::temp_directory_path() / "trelvo-keys-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(name.data()));
    const SigningKey key = generateSigningKey();
    std::ofstream(name + "/trusted-keys") << "# keys\n" << trustedKeyLine(key.publicKey, "vydavatel") << "\nnot a key\n";
    SignaturePolicy none = readSignaturePolicy(name + "/absent", name + "/require-signed");
    EXPECT_TRUE(none.trustedKeys.empty());
    EXPECT_FALSE(none.requireSigned);

    std::ofstream(name + "/require-signed");
    SignaturePolicy read = readSignaturePolicy(name + "/trusted-keys", name + "/require-signed");
    ASSERT_EQ(read.trustedKeys.size(), 1u);
    EXPECT_EQ(read.trustedKeys[0].key, key.publicKey);
    EXPECT_EQ(read.trustedKeys[0].comment, "vydavatel");
    EXPECT_TRUE(read.requireSigned);
    // A folder where the keys should be gives none rather than an endless read.
    EXPECT_TRUE(readSignaturePolicy(name, name + "/require-signed").trustedKeys.empty());
    std::error_code ignored;
    std::filesystem::remove_all(name, ignored);
}
