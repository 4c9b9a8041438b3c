// trelvo-tool's commands for publishers: keygen, sign, verify and publish.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/update/EditionSignature.h"
#include "core/update/UpdateCheck.h"
#include "tool/TrelvoTool.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;

namespace {

using trelvo::support::readBytes;
using trelvo::support::writeBytes;

const std::string runtimeDir = TRELVO_RUNTIME_DIR;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result tool(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    trelvo::TrelvoTool t(in, out, err);
    const int status = t.run(args);
    return {status, out.str(), err.str()};
}

// Every file under a folder with its bytes, links left out, to see that nothing changed.
std::map<std::string, std::string> folderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    if (!fs::exists(folder)) return contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (fs::is_regular_file(entry.symlink_status()))
            contents[entry.path().string()] = readBytes(entry.path().string());
    return contents;
}

class PublishingTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return (folder_ / name).string(); }

    // A small dictionary; extra options go to make.
    std::string makeDictionary(const std::string& name, const std::string& id, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"make", file(name), "--name", "Zkušební", "--lang0", "Čeština", "--charset0",
                                      "238", "--lang1", "Angličtina", "--charset1", "0", "--id", id};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result made = tool(args, "návěstidlo\tsignal\npředvěst\tdistant signal\n");
        EXPECT_EQ(made.status, 0) << made.err;
        return file(name);
    }

    std::string keygen(const std::string& name, const std::string& comment) {
        const Result made = tool({"keygen", file(name), "--comment", comment});
        EXPECT_EQ(made.status, 0) << made.err;
        return file(name);
    }

    trelvo::support::TemporaryFolder temporary_{"trelvo-publish"};
    fs::path folder_ = temporary_.path();
};

}  // namespace

TEST_F(PublishingTest, KeygenWritesAKeyForItsOwnerOnlyAndNeverOverwritesOne) {
    const Result made = tool({"keygen", file("key"), "--comment", "Správa železnic 2026"});
    ASSERT_EQ(made.status, 0) << made.err;
    struct stat st {};
    ASSERT_EQ(stat(file("key").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string publicLine = readBytes(file("key.pub"));
    EXPECT_EQ(made.out, publicLine);
    const auto trusted = trelvo::parseTrustedKeys(publicLine);
    ASSERT_EQ(trusted.size(), 1u);
    EXPECT_EQ(trusted[0].comment, "Správa železnic 2026");
    const auto key = trelvo::parseSigningKeyFile(readBytes(file("key")));
    ASSERT_TRUE(key);
    EXPECT_EQ(key->publicKey, trusted[0].key) << "the .pub is the private key's own";

    const std::string privateBytes = readBytes(file("key"));
    const Result again = tool({"keygen", file("key")});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("never overwritten"), std::string::npos) << again.err;
    EXPECT_EQ(readBytes(file("key")), privateBytes);
    EXPECT_EQ(readBytes(file("key.pub")), publicLine);

    writeBytes(file("other.pub"), "someone's\n");
    EXPECT_EQ(tool({"keygen", file("other")}).status, 1);
    EXPECT_FALSE(fs::exists(file("other"))) << "no private key without its public one";
    EXPECT_EQ(tool({"keygen", file("third"), "--comment", "two\nlines"}).status, 1);
    EXPECT_FALSE(fs::exists(file("third")));
    EXPECT_EQ(tool({"keygen", file("missing/key")}).status, 1);
}

TEST_F(PublishingTest, VerifyNamesTheKeyOfASignatureAndRefusesAChangedFileOrAnUntrustedKey) {
    const std::string key = keygen("publisher", "vydavatel");
    const std::string stranger = keygen("stranger", "cizí");
    const std::string dictionary = makeDictionary("a.dsl", "00000001");
    const std::string original = readBytes(dictionary);

    EXPECT_EQ(tool({"verify", dictionary, "--trusted-keys", key + ".pub"}).status, 1) << "no signature yet";
    const Result signedResult = tool({"sign", dictionary, "--key", key});
    ASSERT_EQ(signedResult.status, 0) << signedResult.err;
    EXPECT_EQ(readBytes(dictionary), original) << "signing leaves the file as it is";

    writeBytes(file("keys"), readBytes(stranger + ".pub") + "not a key\n" + readBytes(key + ".pub"));
    const Result verified = tool({"verify", dictionary, "--trusted-keys", file("keys")});
    EXPECT_EQ(verified.status, 0) << verified.err;
    EXPECT_NE(verified.out.find("vydavatel"), std::string::npos) << verified.out;
    EXPECT_NE(verified.err.find("1 unreadable lines skipped"), std::string::npos) << verified.err;

    const Result untrusted = tool({"verify", dictionary, "--trusted-keys", stranger + ".pub"});
    EXPECT_EQ(untrusted.status, 1);
    EXPECT_NE(untrusted.err.find("not signed by any key"), std::string::npos) << untrusted.err;

    std::string changed = original;
    changed[changed.size() - 3] ^= 0x20;
    writeBytes(dictionary, changed);
    EXPECT_EQ(tool({"verify", dictionary, "--trusted-keys", key + ".pub"}).status, 1);

    writeBytes(file("empty-keys"), "# nobody\n");
    EXPECT_EQ(tool({"verify", dictionary, "--trusted-keys", file("empty-keys")}).status, 1);
    EXPECT_EQ(tool({"sign", dictionary, "--key", key + ".pub"}).status, 1) << "a public key cannot sign";
    EXPECT_EQ(tool({"sign", dictionary}).status, 1);
}

TEST_F(PublishingTest, TheBuildFoldersTrustedKeysTrustTheDemoServersEdition) {
    // verify without --trusted-keys reads the program folder's, as the check does.
    const Result verified = tool({"verify", runtimeDir + "/updates/trelvo/cs-en.dsl"});
    EXPECT_EQ(verified.status, 0) << verified.err;
    EXPECT_NE(verified.out.find("demo key"), std::string::npos) << verified.out;
    const std::string configuration = readBytes(runtimeDir + "/updates/trelvo/autoupdt.cfg");
    const auto edition = trelvo::findPublishedEdition(configuration, 0x5A3C1E01);
    ASSERT_TRUE(edition) << configuration;
    EXPECT_TRUE(edition->signedMark);
    EXPECT_EQ(edition->version, "1.1");
    EXPECT_EQ(edition->file, "cs-en.dsl");
}

TEST_F(PublishingTest, PublishLaysOutASignedFolderAndKeepsTheLinesOfOtherDictionaries) {
    const std::string key = keygen("key", "vydavatel");
    const std::string first = makeDictionary("cs-en.dsl", "5A3C1E01", {"--version", "1.1 beta", "--update-stamp",
                                                                       "202612081005"});
    const std::string second = makeDictionary("cs-ru.dsl", "5a3c1e02", {"--version", "2.0"});
    const fs::path server = folder_ / "www" / "trelvo";
    fs::create_directories(server);
    writeBytes((server / "autoupdt.cfg").string(), "0000BEEF 1.1.2026 8:00 other.dsl 3\r\n"
                                                   "5A3C1E01 1.1.2026 8:00 cs-en.dsl 1.0\r\n");

    const Result published = tool({"publish", server.string(), first, second, "--key", key});
    ASSERT_EQ(published.status, 0) << published.err;
    EXPECT_NE(published.out.find("dictionaries: 2, signed: 2"), std::string::npos) << published.out;
    EXPECT_NE(published.out.find("replaced: 1, added: 1, kept: 1"), std::string::npos) << published.out;
    EXPECT_EQ(readBytes((server / "cs-en.dsl").string()), readBytes(first));
    for (const char* name : {"cs-en.dsl", "cs-ru.dsl"})
        EXPECT_EQ(tool({"verify", (server / name).string(), "--trusted-keys", key + ".pub"}).status, 0) << name;

    const std::string configuration = readBytes((server / "autoupdt.cfg").string());
    EXPECT_EQ(configuration.rfind("0000BEEF 1.1.2026 8:00 other.dsl 3\r\n"
                                  "5A3C1E01 8.12.2026 10:05 cs-en.dsl 1.1\xA0" "beta signed\n",
                                  0),
              0u)
        << configuration;
    const auto english = trelvo::findPublishedEdition(configuration, 0x5A3C1E01);
    ASSERT_TRUE(english);
    EXPECT_EQ(trelvo::publicationStamp(english->date, english->time), "202612081005");
    const auto russian = trelvo::findPublishedEdition(configuration, 0x5A3C1E02);
    ASSERT_TRUE(russian) << "without a stamp of its own, the time of publishing";
    EXPECT_TRUE(russian->signedMark);
    EXPECT_EQ(russian->version, "2.0");
    EXPECT_NE(published.out.find("cs-ru.dsl, ID 5A3C1E02, edition 2.0 of " + russian->date + " " + russian->time +
                                 " (time of publishing), signed"),
              std::string::npos)
        << published.out;
    // The file carries the stamp it is announced with, so that the program
    // can tell it from an earlier edition served again; nothing else changes.
    const Result russianFile = tool({"info", (server / "cs-ru.dsl").string()});
    const Result russianSource = tool({"info", second});
    EXPECT_NE(russianFile.out.find("updateStamp: " + trelvo::publicationStamp(russian->date, russian->time) + "\n"),
              std::string::npos)
        << russianFile.out;
    EXPECT_EQ(russianFile.out.substr(russianFile.out.find("id: ")), russianSource.out.substr(russianSource.out.find("id: ")));

    // Published again without a key: an old signature would have the check refuse the new edition.
    const Result unsignedResult = tool({"publish", server.string(), first});
    ASSERT_EQ(unsignedResult.status, 0) << unsignedResult.err;
    EXPECT_FALSE(fs::exists(server / "cs-en.dsl.sig"));
    EXPECT_TRUE(fs::exists(server / "cs-ru.dsl.sig"));
    EXPECT_NE(unsignedResult.out.find("old signatures removed: 1"), std::string::npos) << unsignedResult.out;
    const std::string again = readBytes((server / "autoupdt.cfg").string());
    EXPECT_FALSE(trelvo::findPublishedEdition(again, 0x5A3C1E01)->signedMark);
    EXPECT_TRUE(trelvo::findPublishedEdition(again, 0x5A3C1E02)->signedMark);
    EXPECT_TRUE(trelvo::findPublishedEdition(again, 0xBEEF));
}

TEST_F(PublishingTest, PublishWritesNothingWhenOneDictionaryCannotBePublished) {
    const std::string key = keygen("key", "k");
    const std::string good = makeDictionary("good.dsl", "00000001");
    const fs::path server = folder_ / "server";
    fs::create_directories(server);
    writeBytes((server / "autoupdt.cfg").string(), "00000009 1.1.2026 8:00 old.dsl 1\n");
    const auto before = folderContents(server);

    writeBytes(file("broken.dsl"), readBytes(good).substr(0, 100));
    const std::string spaced = makeDictionary("with space.dsl", "00000002");
    fs::create_directories(folder_ / "copy");
    fs::copy_file(good, folder_ / "copy" / "good.dsl");
    const std::string twin = makeDictionary("twin.dsl", "00000001");
    const std::string bad = makeDictionary("bad.dsl", "00000003");

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{good, file("broken.dsl")}, "cannot read dictionary"},
        {{good, file("missing.dsl")}, "cannot read dictionary"},
        {{good, spaced}, "rename the file"},
        {{good, (folder_ / "copy" / "good.dsl").string()}, "two dictionaries named good.dsl"},
        {{good, twin}, "two dictionaries have the ID 00000001"},
    };
    for (const auto& [files, message] : refused) {
        std::vector<std::string> args{"publish", server.string()};
        args.insert(args.end(), files.begin(), files.end());
        args.insert(args.end(), {"--key", key});
        const Result result = tool(args);
        EXPECT_EQ(result.status, 1) << message;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_EQ(folderContents(server), before) << message;
    }
    EXPECT_EQ(tool({"publish", server.string(), bad, "--key", key + ".pub"}).status, 1);
    EXPECT_EQ(tool({"publish", (folder_ / "new").string(), file("broken.dsl")}).status, 1);
    EXPECT_FALSE(fs::exists(folder_ / "new")) << "no folder is made for nothing";
    EXPECT_EQ(folderContents(server), before);
    EXPECT_EQ(tool({"publish", server.string()}).status, 1);
}

// A stamped edition is published as it is, so that its copy can be compared byte for byte.
TEST_F(PublishingTest, PublishNeitherMakesAFolderNorWritesOrReadsOutsideItThroughALink) {
    const std::string good = makeDictionary("good.dsl", "00000001", {"--update-stamp", "202612081005"});
    const Result missing = tool({"publish", (folder_ / "typo").string(), good});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("make it first"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(folder_ / "typo"));
    EXPECT_EQ(tool({"publish", good, good}).status, 1) << "a file is no folder";

    // Files outside the folder, which links in it name.
    const fs::path server = folder_ / "server";
    fs::create_directories(server);
    const std::string outside = "0000BEEF 1.1.2026 8:00 other.dsl 3\n";
    writeBytes(file("outside.cfg"), outside);
    writeBytes(file("victim"), "someone's file\n");
    const fs::path names[] = {"autoupdt.cfg", "good.dsl", "good.dsl.sig"};
    for (const fs::path& name : names) {
        for (const fs::path& target : {fs::path(file("outside.cfg")), fs::path("../victim"), fs::path("inside")}) {
            fs::remove(server / name);
            fs::create_symlink(target, server / name);
            const Result linked = tool({"publish", server.string(), good});
            EXPECT_EQ(linked.status, 1) << name << " -> " << target;
            EXPECT_NE(linked.err.find(name.string() + " there is a link"), std::string::npos) << linked.err;
            EXPECT_EQ(readBytes(file("outside.cfg")), outside);
            EXPECT_EQ(readBytes(file("victim")), "someone's file\n");
            EXPECT_EQ(folderContents(server), (std::map<std::string, std::string>{})) << "nothing written";
        }
        fs::remove(server / name);
        fs::create_directory(server / name);
        EXPECT_EQ(tool({"publish", server.string(), good}).status, 1) << name << " as a folder";
        fs::remove(server / name);
    }

    // A hard link to a file outside is replaced, not written through, and a
    // file's mode stays.
    fs::create_hard_link(file("victim"), server / "good.dsl");
    writeBytes((server / "autoupdt.cfg").string(), outside);
    fs::permissions(server / "autoupdt.cfg", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_directory_symlink(server, folder_ / "link-to-server");
    const Result published = tool({"publish", (folder_ / "link-to-server").string(), good});
    ASSERT_EQ(published.status, 0) << published.err;
    EXPECT_EQ(readBytes(file("victim")), "someone's file\n");
    EXPECT_EQ(readBytes((server / "good.dsl").string()), readBytes(good));
    EXPECT_EQ(fs::status(server / "autoupdt.cfg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const auto written = folderContents(server);
    ASSERT_EQ(written.size(), 2u) << "no temporary file is left";
    EXPECT_EQ(written.at((server / "autoupdt.cfg").string()).rfind(outside, 0), 0u);
}

TEST_F(PublishingTest, MakeTakesOnlyAnUpdateStampThatIsADateAndTime) {
    makeDictionary("a.dsl", "00000001", {"--update-stamp", "202612081005"});
    std::ostringstream out, err;
    std::istringstream in;
    trelvo::TrelvoTool(in, out, err).run({"info", file("a.dsl")});
    EXPECT_NE(out.str().find("updateStamp: 202612081005\n"), std::string::npos) << out.str();
    for (const char* stamp : {"2026120810", "202613081005", "today"}) {
        const Result made = tool({"make", file("b.dsl"), "--name", "N", "--lang0", "A", "--charset0", "238",
                                  "--lang1", "B", "--charset1", "0", "--update-stamp", stamp},
                                 "a\tb\n");
        EXPECT_EQ(made.status, 1) << stamp;
        EXPECT_FALSE(fs::exists(file("b.dsl"))) << stamp;
    }
}
