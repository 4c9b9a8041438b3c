// Signed editions published with trelvo-tool publish, served by nginx over
// plain HTTP and HTTPS, and taken or refused by trelvo-tool check-update run
// as the program it is, from a program folder of its own.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "NginxServer.h"
#include "TestCertificates.h"

namespace fs = std::filesystem;

namespace {

const std::string runtimeDir = TRELVO_RUNTIME_DIR;
const std::string demoKey = std::string(TRELVO_RESOURCES_DIR) + "/updates/demo-signing-key";

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

class SignedUpdateEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/trelvo-signed-e2e-XXXXXX";
        folder_ = mkdtemp(name);
        // A program folder like the one the package installs into a user's
        // folder: the tool with its tables, the delivered trusted-keys and
        // the delivered Czech-English dictionary, edition 1.0.
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
    void TearDown() override { fs::remove_all(folder_); }

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

    fs::path folder_, program_, site_;
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
