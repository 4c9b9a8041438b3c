#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/update/UpdateLocations.h"
#include "support/TemporaryFolder.h"

using trelvo::builtInUpdateLocations;
using trelvo::parseUpdateLocations;
using trelvo::readUpdateLocations;
using Locations = std::vector<std::string>;

using trelvo::support::TemporaryFolder;

TEST(UpdateLocations, BuiltInListIsALocalMachineThenTheMakersServer) {
    const Locations& built = builtInUpdateLocations();
    ASSERT_EQ(built.size(), 2u);
    EXPECT_EQ(built[0].substr(built[0].find('/')), "/trelvo");
    EXPECT_EQ(built[1].find("www.zorvat.cz/"), 0u);
}

TEST(UpdateLocations, LineEndsAreCutAndTheRestKeptLiterally) {
    TemporaryFolder dir;
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "a.cz/x\r\nb.cz/y\nc.cz/z")),
              (Locations{"a.cz/x", "b.cz/y", "c.cz/z"}));
    // A CR without its LF is part of the line, and so are the spaces.
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "a.cz/x\rb.cz/y\r\n  c.cz/z \n")),
              (Locations{"a.cz/x\rb.cz/y", "  c.cz/z "}));
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "a.cz/x\r")), (Locations{"a.cz/x\r"}));
    // Only one line end is cut: a CR before CR LF stays.
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "a.cz/x\r\r\n")), (Locations{"a.cz/x\r"}));
}

TEST(UpdateLocations, LinesShorterThanFourCharactersAreSkipped) {
    TemporaryFolder dir;
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "a\nbb\r\nccc\n\n\r\nabcd\nxyz")),
              (Locations{"abcd"}));
    // The length counts after the line end is cut: "ab\r" stays and is too short.
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "ab\r\r\nabc\r\n")), builtInUpdateLocations());
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "x\ny\r\nzz\n")), builtInUpdateLocations());
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", "")), builtInUpdateLocations());
}

TEST(UpdateLocations, MissingFileGivesTheBuiltInList) {
    TemporaryFolder dir;
    EXPECT_EQ(readUpdateLocations(dir.file("absent.ini")), builtInUpdateLocations());
    EXPECT_EQ(readUpdateLocations(dir.path().string()), builtInUpdateLocations());
}

TEST(UpdateLocations, LongLineGoesOnInPiecesOf999Bytes) {
    TemporaryFolder dir;
    std::string line;
    for (int n = 0; n < 2500; ++n) line += static_cast<char>('a' + n % 26);
    Locations got = readUpdateLocations(dir.write("net.ini", line + "\r\nnext.cz/p\n"));
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0], line.substr(0, 999));
    EXPECT_EQ(got[1], line.substr(999, 999));
    EXPECT_EQ(got[2], line.substr(1998));
    EXPECT_EQ(got[3], "next.cz/p");

    // A line of exactly 999 bytes leaves its line end as an empty line.
    std::string exact = line.substr(0, 999);
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", exact + "\nnext.cz/p")),
              (Locations{exact, "next.cz/p"}));
    // A CR LF split across the pieces is no line end: the CR stays.
    std::string split = line.substr(0, 998) + "\r";
    EXPECT_EQ(readUpdateLocations(dir.write("net.ini", split + "\nnext.cz/p")),
              (Locations{split, "next.cz/p"}));
}

TEST(UpdateLocations, NulEndsTheTextOfItsPieceOnly) {
    TemporaryFolder dir;
    auto both = [&dir](const std::string& bytes) {
        Locations fromText = parseUpdateLocations(bytes);
        EXPECT_EQ(readUpdateLocations(dir.write("net.ini", bytes)), fromText);
        return fromText;
    };
    using namespace std::string_literals;
    EXPECT_EQ(both("a.cz/x\0junk\r\nb.cz/y\n"s), (Locations{"a.cz/x", "b.cz/y"}));
    // The line end lies behind the NUL and so is not cut: the CR stays.
    EXPECT_EQ(both("a.cz/x\r\0\n"s), (Locations{"a.cz/x\r"}));
    EXPECT_EQ(both("abc\0defgh\n\0\n"s), builtInUpdateLocations());

    // The pieces of a long line are counted in bytes read, NULs and all: a NUL
    // early in the first piece does not move where the second one starts.
    std::string line;
    for (int n = 0; n < 2500; ++n) line += static_cast<char>('a' + n % 26);
    std::string withNul = line;
    withNul[10] = '\0';
    withNul[1500] = '\0';
    EXPECT_EQ(both(withNul + "\nnext.cz/p"),
              (Locations{line.substr(0, 10), line.substr(999, 501), line.substr(1998), "next.cz/p"}));
}

// A scheme is part of the line: it reaches the check as written, and the
// short-line rule counts it, so "http://" alone still names a location that
// the check then cannot reach.
TEST(UpdateLocations, SchemesAreKeptWithTheirLines) {
    EXPECT_EQ(parseUpdateLocations("https://a.cz/x\r\nHTTP://b.cz:8080/y\nc.cz/z\nhttp://\n"),
              (Locations{"https://a.cz/x", "HTTP://b.cz:8080/y", "c.cz/z", "http://"}));
}

TEST(UpdateLocations, DeliveredFileNamesTheLocalTestServer) {
    EXPECT_EQ(readUpdateLocations(std::string(TRELVO_RUNTIME_DIR) + "/net.ini"),
              (Locations{"127.0.0.1:8717/trelvo"}));
}
