#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/dictionary/DictionaryFile.h"
#include "core/dictionary/TextScrambler.h"
#include "support/TemporaryFolder.h"

namespace fs = std::filesystem;
using namespace trelvo;

namespace {

using support::readBytes;
using support::TemporaryFolder;
using support::writeBytes;

std::size_t filesIn(const TemporaryFolder& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
}

std::string textItem(const std::string& plain) {
    std::string item{static_cast<char>(plain.size() & 0xFF), static_cast<char>(plain.size() >> 8)};
    std::string scrambled(plain.size(), '\0');
    scrambleText(reinterpret_cast<const std::uint8_t*>(plain.data()),
                 reinterpret_cast<std::uint8_t*>(scrambled.data()), plain.size());
    return item + scrambled;
}

std::string u32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

DictionaryHeader smallHeader() {
    DictionaryHeader h;
    h.name = "Zab\xE9zpe\xE8";
    h.languageName = {"\xC8" "e\x9Atina", ""};
    h.languageCharset = {238, 0};
    h.languageImage = {std::string("BM\x01\x02", 4), ""};
    h.version = "1";
    h.idAndAccessCode = "0000ABCDkod";
    return h;
}

EntryList smallEntries() {
    EntryList list;
    list.append("n\xE1v\xECst", "signal", "zkr.", efDefault);
    list.append("x", "", "", efUserModified);
    return list;
}

EntryList oneEntry(std::string_view term) {
    EntryList list;
    list.append(term, "b", "c", efUserModified);
    return list;
}

}  // namespace

TEST(DictionaryFile, LayoutIsExactByteForByte) {
    std::string expected = "DSL" + textItem("Zab\xE9zpe\xE8") +
                           textItem("\xC8" "e\x9Atina") + u32(238) + u32(4) + std::string("BM\x01\x02", 4) +
                           std::string(2, '\0') + u32(0) + u32(0) +
                           std::string(2, '\0') + textItem("1") + std::string(2, '\0') +
                           std::string(2, '\0') + textItem("0000ABCDkod") + u32(2) +
                           textItem("n\xE1v\xECst") + textItem("signal") + textItem("zkr.") + u32(0) +
                           textItem("x") + std::string(4, '\0') + u32(2);
    EXPECT_EQ(serializeDictionary(smallHeader(), smallEntries()), expected);
}

TEST(DictionaryFile, EmptyDictionaryIsHeaderAndZeroCount) {
    DictionaryHeader h;
    std::string bytes = serializeDictionary(h, EntryList{});
    // Magic, 8 empty texts, two charsets, two empty images, the count.
    EXPECT_EQ(bytes.size(), 3u + 8 * 2 + 2 * 4 + 2 * 4 + 4);
    DictionaryHeader back;
    EntryList entries = smallEntries();
    ASSERT_TRUE(parseDictionary(bytes, back, entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(back.languageCharset[0], 1) << "charset 1 written by default";
}

TEST(DictionaryFile, WriteThenReadGivesEverythingBack) {
    TemporaryFolder folder;
    std::string path = folder.file("a.dsl");
    DictionaryHeader h = smallHeader();
    h.languageCharset[1] = -7;  // an unknown code is kept as it is
    h.updateStamp = "202612071405";
    // Enough entries for the file to be written in several blocks.
    EntryList entries = smallEntries();
    for (int i = 0; i < 50'000; ++i)
        entries.append("t" + std::to_string(i), std::string(i % 50, static_cast<char>(0x80 + i % 127)), "", 1);
    ASSERT_TRUE(writeDictionaryFile(h, entries, path));

    DictionaryHeader back;
    back.filePath = "kept";
    EntryList read;
    ASSERT_TRUE(readDictionaryFile(path, back, read));
    EXPECT_EQ(back.filePath, "kept") << "the path is the caller's business";
    back.filePath.clear();
    EXPECT_EQ(back, h);
    EXPECT_EQ(read, entries);
    EXPECT_EQ(readDictionaryName(path), h.name);

    // A hard-linked file is written in place, from the whole file gathered first.
    const std::string bytes = readBytes(path);
    fs::create_hard_link(path, folder.file("b.dsl"));
    ASSERT_TRUE(writeDictionaryFile(h, EntryList{}, path));
    ASSERT_TRUE(writeDictionaryFile(h, entries, path));
    EXPECT_EQ(readBytes(folder.file("b.dsl")), bytes);
}

TEST(DictionaryFile, WriterCutsTextsAtNulAndAtTheLimit) {
    DictionaryHeader h;
    h.author = std::string("ab\0cd", 5);
    h.name = std::string(1200, 'n');
    EntryList entries;
    entries.append(std::string(12000, 'z'), std::string("y\0y", 3), "", 0);
    DictionaryHeader back;
    EntryList read;
    ASSERT_TRUE(parseDictionary(serializeDictionary(h, entries), back, read));
    EXPECT_EQ(back.author, "ab");
    EXPECT_EQ(back.name, std::string(maxNameLength, 'n'));
    EXPECT_EQ(read.term(0), std::string(maxTextLength, 'z'));
    EXPECT_EQ(read.translation(0), "y");
}

TEST(DictionaryFile, NulInsideAStoredTextEndsIt) {
    // The empty author, which stands just before the version, is replaced by a
    // text holding a NUL, scrambled as a writer would store it.
    std::string withAuthor = serializeDictionary(smallHeader(), EntryList{});
    std::string marker = std::string(2, '\0') + textItem("1");  // empty author, then version
    std::size_t at = withAuthor.find(marker);
    ASSERT_NE(at, std::string::npos);
    withAuthor.replace(at, 2, textItem(std::string("Jan\0Novak", 9)));
    // The same inside an entry text.
    withAuthor.replace(withAuthor.size() - 4, 4, u32(1) + textItem(std::string("vlak\0xyz", 8)) +
                                                      std::string(4, '\0') + u32(0));
    DictionaryHeader back;
    EntryList read;
    ASSERT_TRUE(parseDictionary(withAuthor, back, read));
    EXPECT_EQ(back.author, "Jan");
    EXPECT_EQ(read.term(0), "vlak");
}

TEST(DictionaryFile, TruncationAtEveryOffsetFailsAndChangesNothing) {
    std::string bytes = serializeDictionary(smallHeader(), smallEntries());
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        DictionaryHeader h;
        h.name = "old";
        h.filePath = "/old.dsl";
        EntryList entries = oneEntry("a");
        ASSERT_FALSE(parseDictionary(bytes.substr(0, length), h, entries)) << length;
        EXPECT_EQ(h.name, "old");
        EXPECT_EQ(h.filePath, "/old.dsl");
        EXPECT_EQ(entries, oneEntry("a"));
    }
    DictionaryHeader h;
    EntryList entries;
    EXPECT_TRUE(parseDictionary(bytes + "trailing bytes", h, entries)) << "bytes after the last entry are ignored";
}

TEST(DictionaryFile, ALargeFileIsReadWholeOrNotAtAll) {
    // Large enough that the places of the texts are found on one thread while
    // the other unscrambles the entries found so far.
    EntryList entries;
    for (int i = 0; i < 40'000; ++i)
        entries.append("t" + std::to_string(i), std::string(i % 30, static_cast<char>('a' + i % 26)), "", 0);
    const std::string good = serializeDictionary(smallHeader(), entries);
    // The last entry's term holds a NUL, which ends it in memory.
    const std::size_t lastEntry = 2 + 6 + 2 + 39'999 % 30 + 2 + 4;
    const std::string withNul = good.substr(0, good.size() - lastEntry) + textItem(std::string("z\0z", 3)) +
                                std::string(4, '\0') + u32(0);  // no translation, no note, no flags
    DictionaryHeader h;
    EntryList read;
    ASSERT_TRUE(parseDictionary(withNul, h, read));
    ASSERT_EQ(read.size(), entries.size());
    EXPECT_EQ(read.term(39'998), "t39998");
    EXPECT_EQ(read.translation(39'998), entries.translation(39'998));
    EXPECT_EQ(read.term(39'999), "z");

    // Cut anywhere, or with a text too long far into the entries, it is refused
    // and the list stays as it was.
    std::string tooLong = good;
    const std::size_t at = tooLong.find(textItem("t30000"));
    ASSERT_NE(at, std::string::npos);
    tooLong[at] = '\xFF', tooLong[at + 1] = '\x7F';
    std::vector<std::string> broken{tooLong};
    for (std::size_t length : {good.size() / 10, good.size() / 2, good.size() - 5, good.size() - 1})
        broken.push_back(good.substr(0, length));
    for (const std::string& bytes : broken) {
        EntryList kept = oneEntry("a");
        EXPECT_FALSE(parseDictionary(bytes, h, kept)) << bytes.size();
        EXPECT_EQ(kept, oneEntry("a"));
    }
}

TEST(DictionaryFile, LengthsBeyondTheLimitsAreRefused) {
    std::string good = serializeDictionary(DictionaryHeader{}, EntryList{});
    DictionaryHeader h;
    EntryList e;
    // A name of 1000 bytes.
    std::string longName = "DSL" + textItem(std::string(1000, 'n')) + good.substr(5);
    EXPECT_FALSE(parseDictionary(longName, h, e));
    std::string okName = "DSL" + textItem(std::string(999, 'n')) + good.substr(5);
    EXPECT_TRUE(parseDictionary(okName, h, e));
    // An image of 10001 bytes at the first image item (after magic, name, language name, charset).
    std::string bigImage = good;
    bigImage.replace(3 + 2 + 2 + 4, 4, u32(10001) + std::string(10001, 'i'));
    EXPECT_FALSE(parseDictionary(bigImage, h, e));
    std::string okImage = good;
    okImage.replace(3 + 2 + 2 + 4, 4, u32(10000) + std::string(10000, 'i'));
    EXPECT_TRUE(parseDictionary(okImage, h, e));
    EXPECT_EQ(h.languageImage[0].size(), 10000u);
    // An entry text of 9999 bytes.
    std::string bigText = good.substr(0, good.size() - 4) + u32(1) + textItem(std::string(9999, 't')) +
                          std::string(4, '\0') + u32(0);
    EXPECT_FALSE(parseDictionary(bigText, h, e));
}

TEST(DictionaryFile, HugeEntryCountIsRefusedWithoutAllocating) {
    std::string good = serializeDictionary(DictionaryHeader{}, EntryList{});
    std::string huge = good.substr(0, good.size() - 4) + u32(0xFFFFFFFF);
    DictionaryHeader h;
    EntryList e;
    EXPECT_FALSE(parseDictionary(huge, h, e));
}

TEST(DictionaryFile, EntriesAndSizeAreAdmittedUpToTheLimitsAndNoFurther) {
    const std::string bytes = serializeDictionary(smallHeader(), smallEntries());  // 2 entries
    DictionaryHeader h;
    EntryList e;
    EXPECT_TRUE(parseDictionary(bytes, h, e, {bytes.size(), 2}));
    EXPECT_EQ(e.size(), 2u);
    EXPECT_FALSE(parseDictionary(bytes, h, e, {bytes.size(), 1})) << "one entry more than the limit";
    EXPECT_FALSE(parseDictionary(bytes, h, e, {bytes.size() - 1, 2})) << "one byte more than the limit";
    EXPECT_EQ(e.size(), 2u) << "a refused file changes nothing";

    TemporaryFolder folder;
    const std::string path = folder.file("a.dsl");
    writeBytes(path, bytes);
    EXPECT_TRUE(readDictionaryFile(path, h, e, {bytes.size(), 2}));
    EXPECT_FALSE(readDictionaryFile(path, h, e, {bytes.size(), 1}));
    EXPECT_FALSE(readDictionaryFile(path, h, e, {bytes.size() - 1, 2}));
}

// Files of the largest kinds are made sparse: they take no room on the disk.
TEST(DictionaryFile, FilesBeyondTheProgramsLimitsAreRefused) {
    TemporaryFolder folder;
    const std::string empty = serializeDictionary(smallHeader(), EntryList{});
    const std::string countless = empty.substr(0, empty.size() - 4);
    DictionaryHeader h;
    EntryList e;

    // Empty entries are ten zero bytes each, so a count and as many tens of
    // zeros make a whole dictionary.
    auto emptyEntries = [&](const std::string& path, std::size_t count) {
        writeBytes(path, countless + u32(static_cast<std::uint32_t>(count)));
        fs::resize_file(path, countless.size() + 4 + count * 10);
    };
    emptyEntries(folder.file("three.dsl"), 3);
    ASSERT_TRUE(readDictionaryFile(folder.file("three.dsl"), h, e));
    EXPECT_EQ(e.size(), 3u);
    // One entry more than the limit: refused for its count alone.
    emptyEntries(folder.file("many.dsl"), dictionaryEntryLimit + 1);
    EXPECT_FALSE(readDictionaryFile(folder.file("many.dsl"), h, e));
    EXPECT_EQ(e.size(), 3u);

    // An empty dictionary followed by zeros up to one byte over the size limit
    // reads as a dictionary but for its size, and is refused before it is read.
    const std::string large = folder.file("large.dsl");
    writeBytes(large, empty);
    fs::resize_file(large, dictionaryLimit + 1);
    EXPECT_FALSE(readDictionaryFile(large, h, e));
    EXPECT_EQ(readDictionaryName(large), smallHeader().name) << "still listed, by its name";
}

TEST(DictionaryFile, ADictionaryBeyondTheLimitsIsNotWritten) {
    TemporaryFolder folder;
    const std::string path = folder.file("a.dsl");
    ASSERT_TRUE(writeDictionaryFile(smallHeader(), oneEntry("a"), path));
    const std::string before = readBytes(path);
    EXPECT_FALSE(writeDictionaryFile(smallHeader(), smallEntries(), path, {dictionaryLimit, 1}));
    const std::size_t size = serializeDictionary(smallHeader(), smallEntries()).size();
    EXPECT_FALSE(writeDictionaryFile(smallHeader(), smallEntries(), path, {size - 1, 2}));
    EXPECT_EQ(readBytes(path), before) << "the old file stays as it was";
    EXPECT_EQ(filesIn(folder), 1u);
    EXPECT_TRUE(writeDictionaryFile(smallHeader(), smallEntries(), path, {size, 2}));
}

TEST(DictionaryFile, OtherMagicOrMissingFileIsNeitherNamedNorRead) {
    TemporaryFolder folder;
    std::string path = folder.file("x.dsl");
    writeBytes(path, "DSM" + serializeDictionary(smallHeader(), EntryList{}).substr(3));
    DictionaryHeader h;
    EntryList e;
    EXPECT_FALSE(readDictionaryFile(path, h, e));
    EXPECT_FALSE(readDictionaryName(path));
    EXPECT_FALSE(readDictionaryFile(folder.file("none.dsl"), h, e));
    EXPECT_FALSE(readDictionaryName(folder.file("none.dsl")));
    // Only the name is needed for the menu: the rest may be missing.
    std::string full = serializeDictionary(smallHeader(), EntryList{});
    writeBytes(path, full.substr(0, 5 + 8));
    EXPECT_EQ(readDictionaryName(path), smallHeader().name);
    writeBytes(path, full.substr(0, 5 + 7));
    EXPECT_FALSE(readDictionaryName(path));
}

TEST(DictionaryFile, CopiedFileOpensUnderItsNewName) {
    TemporaryFolder folder;
    ASSERT_TRUE(writeDictionaryFile(smallHeader(), smallEntries(), folder.file("a.dsl")));
    fs::copy_file(folder.file("a.dsl"), folder.file("b.dsl"));
    DictionaryHeader h;
    EntryList e;
    ASSERT_TRUE(readDictionaryFile(folder.file("b.dsl"), h, e));
    EXPECT_EQ(e, smallEntries());
}

TEST(DictionaryFile, WriteReplacesAtomicallyAndLeavesNoTemporaryFile) {
    TemporaryFolder folder;
    std::string path = folder.file("a.dsl");
    ASSERT_TRUE(writeDictionaryFile(smallHeader(), smallEntries(), path));
    ASSERT_TRUE(writeDictionaryFile(smallHeader(), EntryList{}, path));
    EXPECT_EQ(filesIn(folder), 1u);
    EXPECT_EQ(readBytes(path), serializeDictionary(smallHeader(), EntryList{}));
    EXPECT_FALSE(writeDictionaryFile(smallHeader(), EntryList{}, folder.file("missing/a.dsl")));
    EXPECT_FALSE(writeDictionaryFile(smallHeader(), EntryList{}, ""));
}

TEST(DictionaryFile, FailedWriteLeavesTheOldFileAsItWas) {
    TemporaryFolder folder;
    std::string path = folder.file("a.dsl");
    ASSERT_TRUE(writeDictionaryFile(smallHeader(), smallEntries(), path));
    const std::string before = readBytes(path);

    EntryList many;
    for (int i = 0; i < 60'000; ++i) many.append("kolejov\xFD obvod", "track circuit", "", 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit makes the write fail half-way, some blocks in,
        // as a full disk would.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1'000'000, 1'000'000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(writeDictionaryFile(smallHeader(), many, path) ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write must report failure";
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(filesIn(folder), 1u) << "the temporary file is removed";
}
