#include <gtest/gtest.h>

#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "TestProgram.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/DictionaryFile.h"
#include "core/update/EditionSignature.h"
#include "gui/controls/CASShape.h"
#include "gui/windows/Tgridik.h"

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

// A server on 127.0.0.1 that takes every connection and its request and never
// answers. It notes who ends each request: its client, hanging up, or the
// server, which gives up after 20 s, before the client's own stall limit of
// 30 s, so that a client which never lets go fails the test rather than
// hanging it.
class SilentServer {
public:
    SilentServer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 || ::pipe(wake_) != 0)
            ADD_FAILURE() << "no test server";
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~SilentServer() {
        const char byte = 1;
        [[maybe_unused]] ssize_t written = ::write(wake_[1], &byte, 1);
        thread_.join();
        for (int fd : {listener_, wake_[0], wake_[1]}) ::close(fd);
    }

    std::string location(const std::string& path) const { return "127.0.0.1:" + std::to_string(port_) + path; }

    std::atomic<int> waiting{0};  // requests whose connection is still open
    std::atomic<int> hungUp{0};   // requests their client gave up
    std::atomic<int> givenUp{0};  // requests the server gave up

private:
    struct Connection {
        int fd;
        bool requested;
    };

    void serve() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        std::vector<Connection> connections;
        while (std::chrono::steady_clock::now() < deadline) {
            std::vector<pollfd> polled{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
            for (const Connection& c : connections) polled.push_back({c.fd, POLLIN, 0});
            if (::poll(polled.data(), polled.size(), 100) < 0) break;
            if (polled[0].revents) break;
            if (polled[1].revents & POLLIN) {
                const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) connections.push_back({fd, false});
            }
            for (std::size_t i = 2; i < polled.size(); ++i) {
                if (!polled[i].revents) continue;
                Connection& c = connections[i - 2];
                char buffer[4096];
                if (::recv(c.fd, buffer, sizeof buffer, 0) > 0) {
                    if (!c.requested) ++waiting;
                    c.requested = true;
                    continue;
                }
                if (c.requested) {
                    --waiting;
                    ++hungUp;
                }
                ::close(c.fd);
                c.fd = -1;
            }
            std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });
        }
        for (const Connection& c : connections) {
            if (c.requested) {
                --waiting;
                ++givenUp;
            }
            ::close(c.fd);
        }
    }

    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

class UpdateTest : public TestProgram {
protected:
    // Runs what starts an update check and waits for the check to end; its result.
    int checked(TForm1Probe w, const std::function<void()>& action) {
        std::optional<int> code;
        const QMetaObject::Connection connection =
            QObject::connect(&w.window(), &TForm1::updateChecked, [&code](int result) { code = result; });
        action();
        const bool ended = QTest::qWaitFor([&] { return code.has_value(); }, 20000);
        QObject::disconnect(connection);
        EXPECT_TRUE(ended) << "the check did not end";
        return code.value_or(-1);
    }

    void clickCloseButton(TForm1Probe w) {
        auto* frame = w.window().findChild<CASShape*>();
        for (int x = frame->width() - 1; x > 0; --x) {
            if (frame->zoneAt({x, 8}) == CASShape::Zone::CloseButton) {
                QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(x, 8));
                return;
            }
        }
        ADD_FAILURE() << "no close button";
    }

    // The active dictionary a.dsl of entries, ID 5A3C1E01; the header of its
    // edition 1.1, stamped as publish stamps it.
    DictionaryHeader activeDictionary(const EntryList& entries) {
        dictionary("a.dsl", "Zabezpečovací technika", entries);
        DictionaryHeader h;
        EntryList read;
        EXPECT_TRUE(readDictionaryFile(dir_ + "DSL/a.dsl", h, read));
        h.idAndAccessCode = "5A3C1E01";
        EXPECT_TRUE(writeDictionaryFile(h, read, dir_ + "DSL/a.dsl"));
        h.version = "1.1";
        h.updateStamp = "202612071405";
        return h;
    }

    // The active dictionary and a newer edition of it, published at /trelvo;
    // railTerm translates "kolej" in the edition. An edition of an old
    // server is not stamped in its file.
    void publish(UpdateServer& server, const std::string& line, const std::string& railTerm = "rail",
                 bool stamped = true) {
        EntryList entries;
        entries.append("kolej", "track", "", efDefault);
        entries.append("vlak", "train", "", efUserModified);
        DictionaryHeader h = activeDictionary(entries);
        if (!stamped) h.updateStamp.clear();
        EntryList edition;
        edition.append("kolej", railTerm, "", efDefault);
        edition.append("návěstidlo", "signal", "", efDefault);
        server.files["/trelvo/autoupdt.cfg"] = line;
        server.files["/trelvo/cs-en.dsl"] = serializeDictionary(h, edition);
    }

    void locations(const std::vector<std::string>& lines) {
        std::ofstream file(dir_ + "net.ini");
        for (const std::string& line : lines) file << line << "\n";
    }

    // The error box after a download the merge cannot read.
    QString unreadableDownload() const {
        return QString::fromStdString("Soubor \"" + dir_ + "download.dsl\" nelze načíst jako slovník; nic se nezměnilo.");
    }

    // The server delivers, with status 200, a file that is refused: the
    // update ends in the error box without a question, stores nothing, and
    // the edition is fetched again at the next check.
    void expectRefusedDownload(UpdateServer& server, const QString& error) {
        locations({server.location("/trelvo")});
        const std::string before = readBytes(dir_ + "DSL/a.dsl");
        TForm1Probe w = start();
        const int lastDay = w.lastUpdateDay();
        EXPECT_EQ(checked(w, [&] { w.chooseDictionary(0); }), 2);
        ASSERT_EQ(prompts_.shown().size(), 1u) << "the error, no question, no completion";
        EXPECT_EQ(prompts_.shown()[0].icon, Prompts::Icon::error);
        EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
        EXPECT_EQ(prompts_.shown()[0].text, error);
        EXPECT_EQ(w.store().header.updateStamp, "");
        EXPECT_EQ(w.store().entryCount(), 2u);
        EXPECT_EQ(w.lastUpdateDay(), lastDay);
        EXPECT_FALSE(w.modified());
        EXPECT_EQ(readBytes(dir_ + "DSL/a.dsl"), before);
        EXPECT_EQ(panel(0), "Slovník: Zabezpečovací technika") << "the name returns after the check";

        prompts_.clearShown();
        const int requests = server.requests;
        EXPECT_EQ(checked(w, [&] { w.checkForUpdate(); }), 2);
        ASSERT_EQ(prompts_.shown().size(), 1u);
        EXPECT_EQ(prompts_.shown()[0].text, error);
        EXPECT_EQ(server.requests, requests + 4) << "autoupdt.cfg, HEAD, the file and its signature again";
    }
};

}  // namespace

TEST_F(UpdateTest, ANewerEditionIsOfferedDownloadedAndMergedOnce) {
    UpdateServer server;
    // The published ID in lower case matches the dictionary's upper-case one.
    publish(server, "5a3c1e01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    locations({"127.0.0.1:9/trelvo", server.location("/trelvo")});

    TForm1Probe w = start();
    prompts_.queueAnswer(true);
    EXPECT_EQ(checked(w, [&] { w.chooseDictionary(0); }), 1);
    ASSERT_EQ(prompts_.shown().size(), 2u) << "no message about the first location";
    EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění ...");
    EXPECT_EQ(prompts_.shown()[0].text,
              "Na aktualizačním serveru byla nalezena novější verze slovníku verze: 1.1.\n"
              "Bude nahrazeno výchozích záznamů: 1\n"
              "Zůstane zachováno vlastních a importovaných záznamů: 1\n"
              "Přibude nových záznamů: 2\n"
              "Vydání není podepsáno, jeho původ nelze ověřit.\n"
              "Přejete si provést synchronizaci dat?");
    EXPECT_EQ(prompts_.shown()[1].caption, "Dokončení automatické aktualizace ...");
    EXPECT_EQ(prompts_.shown()[1].text, "Automatická aktualizace byla dokončena.");
    EXPECT_TRUE(fs::exists(dir_ + "download.dsl"));
    EXPECT_EQ(w.store().header.updateStamp, "202612071405");
    EXPECT_EQ(w.store().header.version, "1.1");
    EXPECT_EQ(w.store().entryCount(), 3u) << "the user's entry and the new edition";
    EXPECT_EQ(w.lastUpdateDay(), today);
    EXPECT_FALSE(w.modified()) << "saved";
    EXPECT_EQ(panel(0), "Slovník: Zabezpečovací technika") << "the name returns after the check";

    // The same edition again: nothing asked.
    prompts_.clearShown();
    EXPECT_EQ(checked(w, [&] { w.checkForUpdate(); }), 2);
    EXPECT_TRUE(prompts_.shown().empty());
}

TEST_F(UpdateTest, AnUpdateIsUndoneInOneStepWithItsStamp) {
    UpdateServer server;
    // The stamp is then set after the merge, as a change of its own.
    publish(server, "5a3c1e01 7.12.2026 14:05 cs-en.dsl 1.1\n", "rail", false);
    locations({server.location("/trelvo")});
    TForm1Probe w = start();
    prompts_.queueAnswer(true);
    EXPECT_EQ(checked(w, [&] { w.chooseDictionary(0); }), 1);
    ASSERT_EQ(w.store().entryCount(), 3u);
    EXPECT_EQ(w.undoItem()->text(), "Zpět: synchronizace");

    w.undoItem()->trigger();
    EXPECT_EQ(w.store().entryCount(), 2u);
    EXPECT_EQ(w.store().entries.translation(0), "track");
    EXPECT_EQ(w.store().header.updateStamp, "") << "so that the edition is offered again";
    EXPECT_EQ(w.store().header.version, "");
    EXPECT_TRUE(w.modified()) << "the file holds the edition";
    EXPECT_FALSE(w.undoItem()->isEnabled()) << "the merge and its stamp are one step";

    w.redoItem()->trigger();
    EXPECT_EQ(w.store().header.updateStamp, "202612071405");
    EXPECT_EQ(w.store().entryCount(), 3u);
    EXPECT_FALSE(w.modified());
}

TEST_F(UpdateTest, NoRequestWhileTheToggleIsUpAndSwitchingItOnChecks) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    locations({server.location("/trelvo")});
    TForm1Probe w = start();
    w.toolButton(ToolButton::automaticUpdate)->click();  // up: no update
    EXPECT_FALSE(w.autoUpdate());
    EXPECT_EQ(checked(w, [&] { w.chooseDictionary(0); }), 2);
    EXPECT_EQ(server.requests, 0);
    prompts_.queueAnswer(false);
    EXPECT_EQ(checked(w, [&] { w.toolButton(ToolButton::automaticUpdate)->click(); }), 2);
    EXPECT_TRUE(w.autoUpdate());
    EXPECT_EQ(prompts_.shown().size(), 1u) << "asked, and declined";
    EXPECT_EQ(w.store().header.version, "") << "nothing merged";
    EXPECT_EQ(w.store().header.updateStamp, "");
    EXPECT_FALSE(w.modified());
}

TEST_F(UpdateTest, NoServerAnsweringPutsTheToggleOutOfUse) {
    locations({"127.0.0.1:9/trelvo"});
    dictionary("a.dsl", "Zabezpečovací technika");
    TForm1Probe w = start();
    EXPECT_EQ(checked(w, [&] { w.chooseDictionary(0); }), 0);
    EXPECT_FALSE(w.toolButton(ToolButton::automaticUpdate)->isEnabled());
    EXPECT_FALSE(w.toolButton(ToolButton::automaticUpdate)->isChecked());
    EXPECT_TRUE(prompts_.shown().empty());
}

// An HTTPS location whose server offers no secure channel is passed over
// like an unreachable one, but the user is told which and why.
TEST_F(UpdateTest, AFailedSecureChannelIsNamedInTheErrorBox) {
    UpdateServer plain;
    publish(plain, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    const std::string location = "https://" + plain.location("/trelvo");
    locations({location});
    TForm1Probe w = start();
    EXPECT_EQ(checked(w, [&] { w.chooseDictionary(0); }), 0);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].icon, Prompts::Icon::error);
    EXPECT_EQ(prompts_.shown()[0].caption, "Chyba!");
    EXPECT_TRUE(prompts_.shown()[0].text.startsWith(QString::fromStdString(
        "Zabezpečené spojení s aktualizačním serverem \"" + location + "\" se nepodařilo navázat, server nebyl "
        "použit (")))
        << prompts_.shown()[0].text.toStdString();
    EXPECT_EQ(plain.requests, 0) << "nothing was asked of it over plain HTTP";
    EXPECT_FALSE(w.toolButton(ToolButton::automaticUpdate)->isEnabled());
    EXPECT_EQ(w.store().header.version, "");
}

TEST_F(UpdateTest, AnHtmlPageInPlaceOfTheEditionIsRefused) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    server.files["/trelvo/cs-en.dsl"] = "<!DOCTYPE html>\n<html><body><p>Služba není dostupná.</p></body></html>\n";
    expectRefusedDownload(server, unreadableDownload());
}

TEST_F(UpdateTest, ACutEditionIsRefused) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    std::string& edition = server.files["/trelvo/cs-en.dsl"];
    edition.resize(edition.size() - 3);
    expectRefusedDownload(server, unreadableDownload());
}

// A server that takes the request and keeps silent. While the request waits
// the window shows the progress, paints, runs its timers and searches; its
// close button closes it at once, the request is let go and no box follows.
TEST_F(UpdateTest, WhileASilentServerHoldsTheRequestTheWindowWorksAndClosesAtOnce) {
    SilentServer server;
    locations({server.location("/trelvo")});
    dictionary("a.dsl", "Zabezpečovací technika");
    TForm1Probe w = start();
    w.window().show();
    w.chooseDictionary(0);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server.waiting == 1 && panel(0) == "Hledání aktualizací ..."; }, 10000))
        << "the window came back only after the server had been given up";

    PaintCounter painted(w.grid()->viewport());
    w.grid()->viewport()->update();
    bool fired = false;
    QTimer::singleShot(0, &w.window(), [&fired] { fired = true; });
    QTest::keyClicks(w.Edit1(), "vyh");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return fired && painted.count > 0 && w.currentPosition() == std::size_t{1}; }, 5000));
    EXPECT_EQ(w.grid()->item(w.grid()->currentRow(), 0)->text(), "výhybka");
    EXPECT_EQ(server.waiting, 1) << "all of it while the request was still unanswered";
    EXPECT_EQ(panel(0), "Hledání aktualizací ...");

    clickCloseButton(w);
    EXPECT_FALSE(w.window().isVisible());
    EXPECT_TRUE(fs::exists(dir_ + "trelvo.cfg")) << "closed as ever, the settings written";
    window_.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.waiting == 0; }, 30000));
    EXPECT_EQ(server.hungUp, 1) << "the window let the request go";
    EXPECT_EQ(server.givenUp, 0);
    EXPECT_TRUE(prompts_.shown().empty()) << "no box after the window closed";
}

// A check belongs to the dictionary it was started for and to the permission:
// switching to another dictionary gives it up and checks the new one, raising
// the toggle gives that up too and the panel names the dictionary again.
TEST_F(UpdateTest, SwitchingTheDictionaryOrRaisingTheToggleGivesTheWaitingCheckUp) {
    SilentServer server;
    locations({server.location("/trelvo")});
    dictionary("a.dsl", "První");
    dictionary("b.dsl", "Druhý");
    TForm1Probe w = start();
    w.chooseDictionary(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.waiting == 1; }, 10000));

    w.chooseDictionary(1);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return server.hungUp == 1 && server.waiting == 1 && panel(0) == "Hledání aktualizací ..."; }, 10000))
        << "the first dictionary's request let go, the second's waiting";

    w.toolButton(ToolButton::automaticUpdate)->click();
    EXPECT_FALSE(w.autoUpdate());
    EXPECT_EQ(panel(0), "Slovník: Druhý");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hungUp == 2; }, 10000));
    EXPECT_TRUE(w.toolButton(ToolButton::automaticUpdate)->isEnabled())
        << "a check given up found no server unreachable";
    QTest::qWait(200);
    EXPECT_EQ(panel(0), "Slovník: Druhý") << "nothing of the given-up check comes late";
    EXPECT_TRUE(prompts_.shown().empty());
    EXPECT_EQ(server.givenUp, 0);
}

// A check that finds an edition while a long command holds the window (an
// import, a merge) asks its question only when the command is over.
TEST_F(UpdateTest, TheQuestionWaitsUntilALongCommandHasEnded) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    locations({server.location("/trelvo")});
    TForm1Probe w = start();
    w.chooseDictionary(0);
    w.window().setEnabled(false);  // as the import does while it runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests == 4; }, 10000))
        << "the configuration, the HEAD, the file and its signature";
    QTest::qWait(300);
    EXPECT_TRUE(prompts_.shown().empty()) << "no question in the middle of the command";

    prompts_.queueAnswer(false);
    EXPECT_EQ(checked(w, [&] { w.window().setEnabled(true); }), 2);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění ...");
}

// Someone between the server and the user hands over an edition with other
// terms, keeping the publisher's signature: the window refuses it with the
// error box and the dictionary stays as it was, on screen and on disk.
TEST_F(UpdateTest, AnEditionChangedAfterSigningIsRefused) {
    UpdateServer server;
    const SigningKey publisher = generateSigningKey();
    std::ofstream(dir_ + "trusted-keys") << trustedKeyLine(publisher.publicKey, "vydavatel") << "\n";
    const std::string line = "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1 signed\n";
    publish(server, line);
    const std::string genuine = server.files["/trelvo/cs-en.dsl"];
    const std::string signature = signEdition(genuine, publisher);
    publish(server, line, "tram");
    server.files["/trelvo/cs-en.dsl.sig"] = signature;
    expectRefusedDownload(server, QStringLiteral("Podpis staženého vydání slovníku nesouhlasí s žádným "
                                                 "důvěryhodným klíčem: soubor byl po podepsání změněn, nebo ho "
                                                 "podepsal někdo jiný. Stažený soubor nebyl použit, slovník zůstal "
                                                 "beze změny."));
    ASSERT_TRUE(window_);
    TForm1Probe w = *window_;
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "kolej");
    EXPECT_EQ(w.grid()->item(0, 1)->text(), "track") << "not the forged term";
    EXPECT_FALSE(fs::exists(dir_ + "download.dsl")) << "the forged file is not kept";
    EXPECT_TRUE(w.toolButton(ToolButton::automaticUpdate)->isEnabled());

    // The genuine edition, once it is served, is taken.
    server.files["/trelvo/cs-en.dsl"] = genuine;
    prompts_.clearShown();
    prompts_.queueAnswer(true);
    EXPECT_EQ(checked(w, [&] { w.checkForUpdate(); }), 1);
    EXPECT_EQ(w.store().header.updateStamp, "202612071405");
}

// The question says what the edition will do to a dictionary of 1,200
// entries, as the manual synchronisation counts it, and whose key signed it.
// No leaves every row as it was; Yes merges exactly that.
TEST_F(UpdateTest, TheQuestionSaysWhatTheEditionReplacesKeepsAndAddsAndWhoSignedIt) {
    UpdateServer server;
    const SigningKey publisher = generateSigningKey();
    std::ofstream(dir_ + "trusted-keys") << trustedKeyLine(publisher.publicKey, "Vydavatel slovníků 2026") << "\n";
    auto term = [](const char* word, int i) {
        char text[32];
        std::snprintf(text, sizeof text, "%s %04d", word, i);
        return std::string(text);
    };
    EntryList entries;
    for (int i = 0; i < 1000; ++i) entries.append(term("kolej", i), "track", "", efDefault);
    for (int i = 0; i < 200; ++i) entries.append(term("vlak", i), "train", "", efUserModified);
    const DictionaryHeader h = activeDictionary(entries);
    // 1,100 entries, one of them the user's own, which is not added twice.
    EntryList edition;
    for (int i = 0; i < 1099; ++i) edition.append(term("kolej", i), "rail", "", efDefault);
    edition.append(term("vlak", 0), "train", "", efDefault);
    const std::string bytes = serializeDictionary(h, edition);
    server.files["/trelvo/autoupdt.cfg"] = "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1 signed\n";
    server.files["/trelvo/cs-en.dsl"] = bytes;
    server.files["/trelvo/cs-en.dsl.sig"] = signEdition(bytes, publisher);
    locations({server.location("/trelvo")});

    TForm1Probe w = start();
    prompts_.queueAnswer(false);
    EXPECT_EQ(checked(w, [&] { w.chooseDictionary(0); }), 2);
    ASSERT_EQ(prompts_.shown().size(), 1u);
    EXPECT_EQ(prompts_.shown()[0].caption, "Upozornění ...");
    EXPECT_EQ(prompts_.shown()[0].text,
              "Na aktualizačním serveru byla nalezena novější verze slovníku verze: 1.1.\n"
              "Bude nahrazeno výchozích záznamů: 1000\n"
              "Zůstane zachováno vlastních a importovaných záznamů: 200\n"
              "Přibude nových záznamů: 1099\n"
              "Vydání je podepsáno důvěryhodným klíčem: Vydavatel slovníků 2026\n"
              "Přejete si provést synchronizaci dat?");
    EXPECT_EQ(w.store().entryCount(), 1200u);
    EXPECT_EQ(w.grid()->item(0, 1)->text(), "track") << "No changes nothing";
    EXPECT_EQ(w.store().header.updateStamp, "");
    EXPECT_FALSE(w.modified());

    prompts_.clearShown();
    prompts_.queueAnswer(true);
    EXPECT_EQ(checked(w, [&] { w.checkForUpdate(); }), 1);
    EXPECT_EQ(w.store().entryCount(), 1299u);
    EXPECT_EQ(w.grid()->item(0, 0)->text(), "kolej 0000");
    EXPECT_EQ(w.grid()->item(0, 1)->text(), "rail");
    EXPECT_EQ(w.store().header.updateStamp, "202612071405");
}

// A correctly made edition of another dictionary under this dictionary's
// line is refused with the error box: no question whether to import it.
TEST_F(UpdateTest, AnEditionOfAnotherDictionaryIsRefusedWithoutAskingToImportIt) {
    UpdateServer server;
    publish(server, "5A3C1E01 7.12.2026 14:05 cs-en.dsl 1.1\n");
    DictionaryHeader h;
    EntryList edition;
    ASSERT_TRUE(parseDictionary(std::string_view(server.files["/trelvo/cs-en.dsl"]), h, edition));
    h.idAndAccessCode = "5A3C1E02";
    server.files["/trelvo/cs-en.dsl"] = serializeDictionary(h, edition);
    expectRefusedDownload(server, QStringLiteral("Stažený soubor je vydáním jiného slovníku (ID 5A3C1E02) než "
                                                 "otevřený slovník (ID 5A3C1E01). Stažený soubor nebyl použit, "
                                                 "slovník zůstal beze změny."));
}
