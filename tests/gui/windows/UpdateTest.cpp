#include <gtest/gtest.h>

#include <httplib.h>

#include <QTest>
#include <QToolButton>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <map>
#include <thread>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

// An update server on 127.0.0.1 that publishes files from memory and counts
// the requests it gets.
class UpdateServer {
public:
    UpdateServer() {
        server_.Get(R"(/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
            ++requests;
            auto it = files.find(request.path);
            if (it == files.end()) {
                response.status = 404;
                return;
            }
            response.set_content(it->second, "application/octet-stream");
        });
        port = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~UpdateServer() {
        server_.stop();
        thread_.join();
    }

    std::string location(const std::string& path) const { return "127.0.0.1:" + std::to_string(port) + path; }

    std::map<std::string, std::string> files;
    std::atomic<int> requests{0};
    int port = 0;

private:
    httplib::Server server_;
    std::thread thread_;
};

class UpdateTest : public TestProgram {
protected:
    // The active dictionary and a newer edition of it, published at /trelvo.
    void publish(UpdateServer& server, const std::string& line) {
        EntryList entries;
        entries.append("kolej", "track", "", efDefault);
        entries.append("vlak", "train", "", efUserModified);
        dictionary("a.dsl", "Zabezpečovací technika", entries);
        DictionaryHeader h;
        EntryList read;
        ASSERT_TRUE(readDictionaryFile(dir_ + "DSL/a.dsl", h, read));
        h.idAndAccessCode = "5A3C1E01";
        ASSERT_TRUE(writeDictionaryFile(h, read, dir_ + "DSL/a.dsl"));
        h.version = "1.1";
        EntryList edition;
        edition.append("kolej", "rail", "", efDefault);
        edition.append("návěstidlo", "signal", "", efDefault);
        server.files["/trelvo/autoupdt.cfg"] = line;
        server.files["/trelvo/cs-en.dsl"] = serializeDictionary(h, edition);
    }

    void locations(const std::vector<std::string>& lines) {
        std::ofstream file(dir_ + "net.ini");
        for (const std::string& line : lines) file << line << "\n";
    }

    // The server delivers, with status 200, bytes in place of the edition
    // that the merge cannot read: the update ends in an error box, stores
    // nothing, and the edition is offered again at the next check.
    void expectRefusedDownload(UpdateServer& server) {
        locations({server.location("/trelvo")});
        const std::string before = readBytes(dir_ + "DSL/a.dsl");
        TForm1& w = start();
        const int lastDay = w.lastUpdateDay;
        prompts_.queueAnswer(true);
        w.selectDictionary(0);
        ASSERT_EQ(prompts_.shown().size(), 2u) << "the question and the error, no completion";
        EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění ...");
        EXPECT_EQ(prompts_.shown()[1].icon, Prompts::Icon::error);
        EXPECT_EQ(prompts_.shown()[1].caption, "Chyba!");
        EXPECT_EQ(prompts_.shown()[1].text,
                  QString::fromStdString("Soubor \"" + dir_ + "download.dsl\" nelze načíst jako slovník; "
                                         "nic se nezměnilo."));
        EXPECT_EQ(w.store.header.updateStamp, "");
        EXPECT_EQ(w.store.entryCount(), 2u);
        EXPECT_EQ(w.lastUpdateDay, lastDay);
        EXPECT_FALSE(w.modified);
        EXPECT_EQ(readBytes(dir_ + "DSL/a.dsl"), before);
        EXPECT_EQ(panel(0), "Slovník: Zabezpečovací technika") << "the name returns after the check";

        prompts_.clearShown();
        prompts_.queueAnswer(false);
        EXPECT_EQ(w.checkForUpdate(), 2);
        ASSERT_EQ(prompts_.shown().size(), 1u);
        EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění ...");
    }
};

}  // namespace

TEST_F(UpdateTest, ANewerEditionIsOfferedDownloadedAndMergedOnce) {
    UpdateServer server;
    // The published ID in lower case matches the dictionary's upper-case one.
    publish(server, "5a3c1e01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    locations({"127.0.0.1:9/trelvo", server.location("/trelvo")});

    TForm1& w = start();
    prompts_.queueAnswer(true);
    w.selectDictionary(0);
    ASSERT_EQ(prompts_.shown().size(), 2u) << "no message about the first location";
    EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění ...");
    EXPECT_EQ(prompts_.shown()[0].text,
              "Na aktualizačním serveru byla nalezena novější verze slovníku verze: 1.1.\n"
              "Přejete si provést synchronizaci dat?");
    EXPECT_EQ(prompts_.shown()[1].caption, "Dokončení automatické aktualizace ...");
    EXPECT_EQ(prompts_.shown()[1].text, "Automatická aktualizace byla dokončena.");
    EXPECT_TRUE(fs::exists(dir_ + "download.dsl"));
    EXPECT_EQ(w.store.header.updateStamp, "202612071405");
    EXPECT_EQ(w.store.header.version, "1.1");
    EXPECT_EQ(w.store.entryCount(), 3u) << "the user's entry and the new edition";
    EXPECT_EQ(w.lastUpdateDay, today);
    EXPECT_FALSE(w.modified) << "saved";
    EXPECT_EQ(panel(0), "Slovník: Zabezpečovací technika") << "the name returns after the check";

    // The same edition again: nothing asked.
    prompts_.clearShown();
    EXPECT_EQ(w.checkForUpdate(), 2);
    EXPECT_TRUE(prompts_.shown().empty());
}

TEST_F(UpdateTest, NoRequestWhileTheToggleIsUpAndSwitchingItOnChecks) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    locations({server.location("/trelvo")});
    TForm1& w = start();
    w.toolButtons[12]->click();  // up: no update
    EXPECT_FALSE(w.autoUpdate);
    w.selectDictionary(0);
    EXPECT_EQ(server.requests, 0);
    prompts_.queueAnswer(false);
    w.toolButtons[12]->click();
    EXPECT_TRUE(w.autoUpdate);
    EXPECT_EQ(prompts_.shown().size(), 1u) << "asked, and declined";
    EXPECT_EQ(w.store.header.version, "") << "nothing merged";
    EXPECT_FALSE(fs::exists(dir_ + "download.dsl"));
}

TEST_F(UpdateTest, NoServerAnsweringPutsTheToggleOutOfUse) {
    locations({"127.0.0.1:9/trelvo"});
    dictionary("a.dsl", "Zabezpečovací technika");
    TForm1& w = start();
    w.selectDictionary(0);
    EXPECT_FALSE(w.toolButtons[12]->isEnabled());
    EXPECT_FALSE(w.toolButtons[12]->isChecked());
    EXPECT_TRUE(prompts_.shown().empty());
}

TEST_F(UpdateTest, AnHtmlPageInPlaceOfTheEditionIsRefused) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    server.files["/trelvo/cs-en.dsl"] = "<!DOCTYPE html>\n<html><body><p>Služba není dostupná.</p></body></html>\n";
    expectRefusedDownload(server);
}

TEST_F(UpdateTest, ACutEditionIsRefused) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    std::string& edition = server.files["/trelvo/cs-en.dsl"];
    edition.resize(edition.size() - 3);
    expectRefusedDownload(server);
}
