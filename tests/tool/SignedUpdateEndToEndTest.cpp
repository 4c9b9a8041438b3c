// Signed editions published with trelvo-tool publish, served by nginx over
// plain HTTP and HTTPS, and taken or refused by trelvo-tool check-update run
// as the program it is, from a program folder of its own.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "NginxServer.h"
#include "TestCertificates.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;

namespace {

using trelvo::support::readBytes;

const std::string runtimeDir = TRELVO_RUNTIME_DIR;
const std::string demoKey = TRELVO_DEMO_KEY;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class SignedUpdateEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // A program folder like the one the package installs into a user's
        // folder: the tool with its tables, the build folder's trusted-keys
        // (which trusts its demo key) and the delivered Czech-English
        // dictionary, edition 1.0.
        program_ = folder_ / "program";
        fs::create_directories(program_ / "DSL");
        for (const char* file : {"upchar.dat", "trusted-keys"})
            fs::copy_file(fs::path(runtimeDir) / file, program_ / file);
        fs::copy_file(TRELVO_TOOL_PATH, program_ / "trelvo-tool");
        fs::copy_file(fs::path(runtimeDir) / "DSL/cs-en.dsl", dictionary());
        original_ = readBytes(dictionary());
        // Edition 1.1, as the demo server's; publish lays out the folder made for it.
        edition_ = (folder_ / "cs-en.dsl").string();
        fs::copy_file(fs::path(runtimeDir) / "updates/trelvo/cs-en.dsl", edition_);
        site_ = folder_ / "www";
        fs::create_directories(site_ / "trelvo");
    }

    fs::path dictionary() const { return program_ / "DSL/cs-en.dsl"; }

    // trelvo-tool from the program folder; environment is put before it.
    ToolRun tool(const std::string& arguments, const std::string& environment = "") const {
        const std::string out = (folder_ / "out").string(), err = (folder_ / "err").string();
        const std::string command = "cd '" + program_.string() + "' && " + environment + " ./trelvo-tool " +
                                    arguments + " >'" + out + "' 2>'" + err + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(out), readBytes(err)};
    }

    void publish(const std::string& key = demoKey) {
        const std::string signing = key.empty() ? "" : " --key '" + key + "'";
        const ToolRun published = tool("publish '" + (site_ / "trelvo").string() + "' '" + edition_ + "'" + signing);
        ASSERT_EQ(published.status, 0) << published.err;
    }

    ToolRun checkUpdate(const std::string& location, const std::string& environment = "") {
        std::ofstream(program_ / "net.ini") << location << "\n";
        return tool("check-update DSL/cs-en.dsl --yes", environment);
    }

    // check-update at an HTTPS location of nginx serving the published folder
    // with one of the test's certificates, the tool trusting the test's CA.
    ToolRun checkOverHttps(NginxServer::Certificate (TestCertificates::*certificateOf)() const) {
        TestCertificates certificates;
        EXPECT_TRUE(certificates.made()) << certificates.error();
        const NginxServer::Certificate certificate = (certificates.*certificateOf)();
        NginxServer server(site_.string(), &certificate);
        EXPECT_TRUE(server.ready()) << server.error();
        ToolRun run = checkUpdate("https://127.0.0.1:" + std::to_string(server.httpsPort()) + "/trelvo",
                                  "TRELVO_CA_FILE='" + certificates.authority() + "'");
        accessLog_ = server.accessLog();
        return run;
    }

    void expectTaken(const ToolRun& run) const {
        EXPECT_NE(run.out.find("newer edition 1.1: yes"), std::string::npos) << run.out << run.err;
        EXPECT_NE(run.out.find("synchronised"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("result: 1"), std::string::npos) << run.out;
        EXPECT_NE(readBytes(dictionary()), original_);
        const ToolRun info = tool("info DSL/cs-en.dsl");
        EXPECT_NE(info.out.find("updateStamp: 202612081000\n"), std::string::npos) << info.out;
    }

    void expectRefused(const ToolRun& run) const {
        EXPECT_EQ(run.out.find("synchronised"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("result: 1"), std::string::npos) << run.out;
        EXPECT_EQ(readBytes(dictionary()), original_) << "the old dictionary must stay byte for byte";
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-signed-e2e"};
    fs::path folder_ = temporary_.path();
    fs::path program_, site_;
    std::string edition_, original_;
    std::string accessLog_;  // of the last server checkOverHttps asked
};

}  // namespace

TEST_F(SignedUpdateEndToEnd, ASignedEditionIsTakenOverPlainHttp) {
    publish();
    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    const ToolRun run = checkUpdate("127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo");
    expectTaken(run);
    EXPECT_NE(run.out.find("signature: verified (Trelvo demo key"), std::string::npos) << run.out;
    EXPECT_NE(server.accessLog().find("GET /trelvo/cs-en.dsl.sig "), std::string::npos) << server.accessLog();

    const ToolRun again = checkUpdate("http://127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo");
    EXPECT_EQ(again.out.find("newer edition"), std::string::npos) << "the stamps are equal now: " << again.out;
}

TEST_F(SignedUpdateEndToEnd, ASignedEditionIsTakenOverHttpsFromAServerOfTheTrustedAuthority) {
    publish();
    const ToolRun run = checkOverHttps(&TestCertificates::server);
    expectTaken(run);
    EXPECT_NE(run.out.find("signature: verified"), std::string::npos) << run.out;
}

TEST_F(SignedUpdateEndToEnd, AServerWithACertificateOfAnotherAuthorityIsNotBelieved) {
    publish();
    const ToolRun run = checkOverHttps(&TestCertificates::serverOfOtherAuthority);
    expectRefused(run);
    EXPECT_EQ(run.out.find("newer edition"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("result: 0"), std::string::npos) << "ends as an unreachable location: " << run.out;
    EXPECT_EQ(accessLog_.find("autoupdt.cfg"), std::string::npos) << "nothing is asked of it: " << accessLog_;
}

TEST_F(SignedUpdateEndToEnd, ADictionaryChangedAfterPublishingIsRefused) {
    publish();
    // One bit of the last entry's flags changed on the server: still a
    // readable dictionary, so only the signature can tell.
    const fs::path served = site_ / "trelvo/cs-en.dsl";
    std::string bytes = readBytes(served);
    bytes.back() ^= 1;
    std::ofstream(served, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(tool("info '" + served.string() + "'").status, 0);

    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    const ToolRun run = checkUpdate("127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo");
    expectRefused(run);
    EXPECT_NE(run.out.find("signature: refused"), std::string::npos) << run.out;
    EXPECT_FALSE(run.err.empty()) << "the reason is told";
}

TEST_F(SignedUpdateEndToEnd, AnEditionSignedByAKeyNotTrustedIsRefused) {
    const ToolRun made = tool("keygen '" + (folder_ / "stranger").string() + "'");
    ASSERT_EQ(made.status, 0) << made.err;
    publish((folder_ / "stranger").string());
    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    const ToolRun run = checkUpdate("127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo");
    expectRefused(run);
    EXPECT_NE(run.out.find("signature: refused"), std::string::npos) << run.out;
}

TEST_F(SignedUpdateEndToEnd, AnUnsignedEditionIsTakenUnlessSignaturesAreRequired) {
    publish("");
    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    const std::string location = "127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo";

    std::ofstream(program_ / "require-signed") << "";
    const ToolRun required = checkUpdate(location);
    expectRefused(required);
    EXPECT_NE(required.out.find("signature: refused"), std::string::npos) << required.out;

    fs::remove(program_ / "require-signed");
    const ToolRun run = checkUpdate(location);
    expectTaken(run);
    EXPECT_NE(run.out.find("signature: none"), std::string::npos) << run.out;
}

// The Czech-Russian dictionary, correctly signed, served under the line of
// the Czech-English one: refused, even with --yes and require-signed, never
// merged or imported into the other dictionary.
TEST_F(SignedUpdateEndToEnd, ASignedEditionOfAnotherDictionaryIsRefused) {
    fs::copy_file(fs::path(runtimeDir) / "DSL/cs-ru.dsl", edition_, fs::copy_options::overwrite_existing);
    publish();
    // The server's line names the Czech-English dictionary for that file.
    std::ofstream(site_ / "trelvo/autoupdt.cfg") << "5A3C1E01 9.12.2026 10:00 cs-en.dsl 1.1 signed\n";
    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    std::ofstream(program_ / "require-signed") << "";
    const ToolRun run = checkUpdate("127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo");
    expectRefused(run);
    EXPECT_EQ(run.out.find("import"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("newer edition"), std::string::npos) << "nothing to ask about: " << run.out;
    EXPECT_NE(run.err.find("Stažený soubor je vydáním jiného slovníku (ID 5A3C1E02) než otevřený slovník "
                           "(ID 5A3C1E01)."),
              std::string::npos)
        << run.err;
}

// Edition 1.1, signed, announced again with a later stamp after the
// dictionary has moved on: the file's own stamp gives it away.
TEST_F(SignedUpdateEndToEnd, AnEarlierSignedEditionServedAgainIsRefused) {
    publish();
    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    const std::string location = "127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo";
    std::ofstream(site_ / "trelvo/autoupdt.cfg") << "5A3C1E01 24.12.2026 10:00 cs-en.dsl 1.1 signed\n";
    const ToolRun replayed = checkUpdate(location);
    expectRefused(replayed);
    EXPECT_NE(replayed.err.find("Datum vydání uvedené ve staženém souboru (8.12.2026 10:00) nesouhlasí s datem, "
                                "které ohlašuje aktualizační server (24.12.2026 10:00)"),
              std::string::npos)
        << replayed.err;

    // Taken under its own stamp; announced once more with an earlier one, it is not offered.
    std::ofstream(site_ / "trelvo/autoupdt.cfg", std::ios::trunc) << "5A3C1E01 8.12.2026 10:00 cs-en.dsl 1.1 signed\n";
    expectTaken(checkUpdate(location));
    const std::string taken = readBytes(dictionary());
    std::ofstream(site_ / "trelvo/autoupdt.cfg", std::ios::trunc) << "5A3C1E01 1.12.2026 10:00 cs-en.dsl 1.0 signed\n";
    const ToolRun earlier = checkUpdate(location);
    EXPECT_EQ(earlier.out.find("newer edition"), std::string::npos) << earlier.out;
    EXPECT_NE(earlier.out.find("result: 2"), std::string::npos) << earlier.out;
    EXPECT_EQ(readBytes(dictionary()), taken);
}

TEST_F(SignedUpdateEndToEnd, AnImpossibleStampIsRefusedAndNotStored) {
    publish();
    std::ofstream(site_ / "trelvo/autoupdt.cfg", std::ios::trunc)
        << "5A3C1E01 99999999999.-7.2147483648 25:61:99 cs-en.dsl 1.1 signed\n";
    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    const ToolRun run = checkUpdate("127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo");
    expectRefused(run);
    EXPECT_NE(run.err.find("nemožným datem nebo časem vydání"), std::string::npos) << run.err;
    EXPECT_EQ(server.accessLog().find("cs-en.dsl"), std::string::npos) << "nothing fetched: " << server.accessLog();
    const ToolRun info = tool("info DSL/cs-en.dsl");
    EXPECT_NE(info.out.find("updateStamp: \n"), std::string::npos) << info.out;
}

// Once a location has given a verified signature, an edition from it without
// one is refused: the signature of a newer edition kept away on the line, or
// too long to be one, does not make it count as unsigned.
TEST_F(SignedUpdateEndToEnd, ALocationThatSignedOnceIsNotTakenUnsignedAgain) {
    publish();
    NginxServer server(site_.string());
    ASSERT_TRUE(server.ready()) << server.error();
    const std::string location = "127.0.0.1:" + std::to_string(server.httpPort()) + "/trelvo";
    expectTaken(checkUpdate(location));
    EXPECT_NE(readBytes(program_ / "signed-locations").find(location + "\n"), std::string::npos);
    const std::string taken = readBytes(dictionary());

    // Edition 1.2 without the mark and without its signature.
    const ToolRun made = tool("make '" + edition_ + "' --name N --lang0 C --charset0 238 --lang1 A --charset1 0 "
                              "--id 5A3C1E01 --version 1.2 --update-stamp 202612201000 < /dev/null");
    ASSERT_EQ(made.status, 0) << made.err;
    fs::copy_file(edition_, site_ / "trelvo/cs-en.dsl", fs::copy_options::overwrite_existing);
    fs::remove(site_ / "trelvo/cs-en.dsl.sig");
    std::ofstream(site_ / "trelvo/autoupdt.cfg", std::ios::trunc) << "5A3C1E01 20.12.2026 10:00 cs-en.dsl 1.2\n";
    const ToolRun stripped = checkUpdate(location);
    EXPECT_NE(stripped.out.find("signature: refused"), std::string::npos) << stripped.out;
    EXPECT_NE(stripped.err.find("dříve vydával podepsaná vydání"), std::string::npos) << stripped.err;
    EXPECT_EQ(readBytes(dictionary()), taken);

    // A "signature" larger than any is as good as none.
    std::ofstream(site_ / "trelvo/cs-en.dsl.sig") << std::string(64 * 1024, 'A') << "\n";
    fs::remove(program_ / "signed-locations");
    const ToolRun oversized = checkUpdate(location);
    EXPECT_NE(oversized.out.find("signature: refused"), std::string::npos) << oversized.out;
    EXPECT_NE(oversized.err.find("Podpis vydání slovníku se z aktualizačního serveru nepodařilo stáhnout"),
              std::string::npos)
        << oversized.err;
    EXPECT_EQ(readBytes(dictionary()), taken);
}
