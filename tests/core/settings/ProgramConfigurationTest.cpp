#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/settings/ProgramConfiguration.h"
#include "support/TemporaryFolder.h"

using trelvo::ProgramConfiguration;
using trelvo::parseConfiguration;
using trelvo::readConfiguration;
using trelvo::serializeConfiguration;
using trelvo::writeConfiguration;

namespace {

using trelvo::support::readBytes;
using trelvo::support::writeBytes;
using TempFolder = trelvo::support::TemporaryFolder;

// The values a window starts with; a short file must leave them in place.
ProgramConfiguration startValues() {
    ProgramConfiguration c;
    c.autoUpdate = false;
    c.lastDictionary = 9;
    c.top = 111;
    c.left = 222;
    c.width = 333;
    c.height = 444;
    c.lastUpdateDay = 555;
    return c;
}

void expectSame(const ProgramConfiguration& a, const ProgramConfiguration& b) {
    EXPECT_EQ(a.autoUpdate, b.autoUpdate);
    EXPECT_EQ(a.lastDictionary, b.lastDictionary);
    EXPECT_EQ(a.top, b.top);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.lastUpdateDay, b.lastUpdateDay);
}

// A file whose every field differs from startValues().
const std::string fullFile = std::string(
    "\x01"                    // autoUpdate
    "\xC8"                    // lastDictionary 200
    "\xFB\xFF\xFF\xFF"        // top -5
    "\x39\x30\x00\x00"        // left 12345
    "\x20\x03\x00\x00"        // width 800
    "\x58\x02\x00\x00"        // height 600
    "\x1B\x69\x0B\x00",       // lastUpdateDay 747803
    22);

}  // namespace

TEST(ProgramConfiguration, WritesTwentyTwoLittleEndianBytesInFieldOrder) {
    TempFolder dir;
    const std::string path = dir.file("trelvo.cfg");

    ProgramConfiguration c;
    c.autoUpdate = true;
    c.lastDictionary = 200;
    c.top = -5;
    c.left = 12345;
    c.width = 800;
    c.height = 600;
    c.lastUpdateDay = 747803;
    ASSERT_TRUE(writeConfiguration(path, c));
    EXPECT_EQ(readBytes(path), fullFile);

    // Only the low byte of the position is kept; a false flag is a zero byte.
    c.autoUpdate = false;
    c.lastDictionary = 0x1C8;
    c.top = INT32_MIN;
    c.left = -1;
    ASSERT_TRUE(writeConfiguration(path, c));
    const std::string bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 22u);
    EXPECT_EQ(bytes[0], '\0');
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xC8);
    EXPECT_EQ(bytes.substr(2, 8), std::string("\x00\x00\x00\x80\xFF\xFF\xFF\xFF", 8));
}

TEST(ProgramConfiguration, RoundTripsAndReplacesAnOlderFile) {
    TempFolder dir;
    const std::string path = dir.file("trelvo.cfg");
    writeBytes(path, std::string(40, '\x7F'));

    ProgramConfiguration c;
    c.autoUpdate = false;
    c.lastDictionary = 255;
    c.top = -300;
    c.left = -20;
    c.width = 1920;
    c.height = 1080;
    c.lastUpdateDay = INT32_MAX;
    ASSERT_TRUE(writeConfiguration(path, c));
    EXPECT_EQ(readBytes(path).size(), 22u);

    ProgramConfiguration back = startValues();
    back.autoUpdate = true;
    ASSERT_TRUE(readConfiguration(path, back));
    expectSame(back, c);

    // Nothing but the settings file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()), 1);
}

TEST(ProgramConfiguration, NewFileFollowsTheUmask) {
    TempFolder dir;
    const std::string path = dir.file("trelvo.cfg");
    mode_t old = ::umask(022);
    bool written = writeConfiguration(path, ProgramConfiguration{});
    ::umask(old);
    ASSERT_TRUE(written);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(ProgramConfiguration, ReadingTakesTheFileOverTheStartValues) {
    TempFolder dir;
    const std::string path = dir.file("trelvo.cfg");

    // A missing file changes nothing at all.
    ProgramConfiguration c = startValues();
    EXPECT_FALSE(readConfiguration(dir.file("absent.cfg"), c));
    expectSame(c, startValues());
    // Nor does a folder where the file should be, a device, or a pipe that
    // no one writes, which must not keep the start waiting.
    EXPECT_FALSE(readConfiguration(dir.path().string(), c));
    expectSame(c, startValues());
    EXPECT_FALSE(readConfiguration("/dev/zero", c));
    expectSame(c, startValues());
    ASSERT_EQ(::mkfifo(dir.file("pipe.cfg").c_str(), 0644), 0);
    EXPECT_FALSE(readConfiguration(dir.file("pipe.cfg"), c));
    expectSame(c, startValues());

    // Bytes past the 22 are ignored; the position is unsigned.
    writeBytes(path, fullFile + "\x05\x06\x07");
    ASSERT_TRUE(readConfiguration(path, c));
    EXPECT_TRUE(c.autoUpdate);
    EXPECT_EQ(c.lastDictionary, 200);
    EXPECT_EQ(c.top, -5);
    EXPECT_EQ(c.left, 12345);
    EXPECT_EQ(c.width, 800);
    EXPECT_EQ(c.height, 600);
    EXPECT_EQ(c.lastUpdateDay, 747803);

    // Any non-zero flag byte means enabled, zero means not.
    std::string flagged = fullFile;
    flagged[0] = '\x07';
    writeBytes(path, flagged);
    c = startValues();
    ASSERT_TRUE(readConfiguration(path, c));
    EXPECT_TRUE(c.autoUpdate);
    flagged[0] = '\0';
    writeBytes(path, flagged);
    c.autoUpdate = true;
    ASSERT_TRUE(readConfiguration(path, c));
    EXPECT_FALSE(c.autoUpdate);
}

TEST(ProgramConfiguration, ShortFileKeepsTheFieldsItLacks) {
    TempFolder dir;
    const std::string path = dir.file("trelvo.cfg");
    const ProgramConfiguration start = startValues();

    for (std::size_t size = 0; size < 22; ++size) {
        SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
        writeBytes(path, fullFile.substr(0, size));
        ProgramConfiguration c = start;
        ASSERT_TRUE(readConfiguration(path, c));
        EXPECT_EQ(c.autoUpdate, size >= 1 ? true : start.autoUpdate);
        EXPECT_EQ(c.lastDictionary, size >= 2 ? 200 : start.lastDictionary);
        EXPECT_EQ(c.top, size >= 6 ? -5 : start.top);
        EXPECT_EQ(c.left, size >= 10 ? 12345 : start.left);
        EXPECT_EQ(c.width, size >= 14 ? 800 : start.width);
        EXPECT_EQ(c.height, size >= 18 ? 600 : start.height);
        EXPECT_EQ(c.lastUpdateDay, 0);
    }
}

TEST(ProgramConfiguration, FailedWriteReturnsFalseAndLeavesNoTrace) {
    TempFolder dir;
    EXPECT_FALSE(writeConfiguration(dir.file("missing/trelvo.cfg"), ProgramConfiguration{}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    EXPECT_FALSE(writeConfiguration("", ProgramConfiguration{}));

    // A folder in the file's place cannot be replaced; the temporary goes too.
    std::filesystem::create_directory(dir.file("trelvo.cfg"));
    EXPECT_FALSE(writeConfiguration(dir.file("trelvo.cfg"), ProgramConfiguration{}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("trelvo.cfg")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()), 1);
}

TEST(ProgramConfiguration, BytesInMemoryReadAndWriteAsTheFile) {
    TempFolder dir;
    const std::string path = dir.file("trelvo.cfg");
    const std::string longer = fullFile + "\x09\x08\x07\x06";
    for (std::size_t size = 0; size <= longer.size(); ++size) {
        SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
        writeBytes(path, longer.substr(0, size));
        ProgramConfiguration fromFile = startValues();
        ASSERT_TRUE(readConfiguration(path, fromFile));
        ProgramConfiguration fromBytes = startValues();
        parseConfiguration(longer.substr(0, size), fromBytes);
        expectSame(fromBytes, fromFile);
    }

    ProgramConfiguration c = startValues();
    ASSERT_TRUE(writeConfiguration(path, c));
    EXPECT_EQ(serializeConfiguration(c), readBytes(path));
}
