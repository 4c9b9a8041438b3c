#include "core/update/EditionPublishing.h"

#include <gtest/gtest.h>

namespace trelvo {
namespace {

using namespace std::string_literals;

PublishedEdition edition(std::uint32_t id, std::string file, std::string version, bool signedMark = false) {
    PublishedEdition e;
    e.id = id;
    e.date = "8.12.2026";
    e.time = "10:00";
    e.file = std::move(file);
    e.version = std::move(version);
    e.signedMark = signedMark;
    return e;
}

TEST(EditionPublishing, APublishedLineReadsBackAsTheSameEditionAndStamp) {
    const auto time = publicationTimeOfStamp("202612081005");
    ASSERT_TRUE(time);
    EXPECT_EQ(time->date, "8.12.2026");
    EXPECT_EQ(time->time, "10:05");
    EXPECT_EQ(publicationStamp(time->date, time->time), "202612081005");
    EXPECT_EQ(publicationStamp(publicationTimeOfStamp("200002290000")->date, "0:00"), "200002290000");

    PublishedEdition published = edition(0x00AB12CD, "cs-en.dsl", "1.1", true);
    published.date = time->date;
    published.time = time->time;
    const std::string line = publishedEditionLine(published);
    EXPECT_EQ(line, "00AB12CD 8.12.2026 10:05 cs-en.dsl 1.1 signed");
    const auto read = parsePublishedEdition(line);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->id, 0x00AB12CDu);
    EXPECT_EQ(read->file, "cs-en.dsl");
    EXPECT_EQ(read->version, "1.1");
    EXPECT_TRUE(read->signedMark);
    EXPECT_FALSE(parsePublishedEdition(publishedEditionLine(edition(1, "a.dsl", "2")))->signedMark);
}

TEST(EditionPublishing, StampsThatAreNoDateAndTimeAreNotPublished) {
    for (const char* stamp : {"", "20261208100", "2026120810000", "2026120810x0", "202613081000", "202600081000",
                              "202602300000", "202302290000", "210002290000", "202612082400", "202612081060",
                              "000012081000", " 02612081000", "-02612081000"})
        EXPECT_FALSE(publicationTimeOfStamp(stamp)) << stamp;
}

TEST(EditionPublishing, AVersionWithSpacesStaysOneWordAndLeavesTheSignedMarkInPlace) {
    const std::string line = publishedEditionLine(edition(7, "a.dsl", "1.1 zku\x9A" "ebn\xED\tverze\n", true));
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const auto read = parsePublishedEdition(line);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->version, "1.1\xA0zku\x9A" "ebn\xED\xA0verze\xA0");
    EXPECT_TRUE(read->signedMark);

    const auto empty = parsePublishedEdition(publishedEditionLine(edition(7, "a.dsl", "")));
    ASSERT_TRUE(empty) << "a line without a version is not read at all";
    EXPECT_EQ(empty->version, "-");
    EXPECT_EQ(publishedVersion(std::string("a\0b", 3)), "a\xA0" "b");
}

TEST(EditionPublishing, OnlyFileNamesARequestCarriesAsTheyStandArePublished) {
    for (const char* name : {"cs-en.dsl", "CS_EN-2.dsl", "a+b~c.dsl"}) EXPECT_TRUE(publishableFileName(name)) << name;
    for (const char* name : {"", ".", "..", "cs en.dsl", "sl\xC3\xB3vn\xC3\xADk.dsl", "a%20b.dsl", "a?b.dsl", "a#b.dsl",
                             "dir/a.dsl", "a\\b.dsl"})
        EXPECT_FALSE(publishableFileName(name)) << name;
}

TEST(EditionPublishing, MergingReplacesTheDictionarysLineAndKeepsTheOthersByteForByte) {
    const std::string old = "# editions of the signalling dictionaries\r\n"
                            "5A3C1E02 1.1.2026 8:00 cs-ru.dsl 1.0\r\n"
                            "5a3c1e01 2.2.2026 9:00 cs-en.dsl 1.0\n"
                            "\n"
                            "5A3C1E01 3.3.2026 9:00 old-cs-en.dsl 0.9\n"
                            "5A3C1E01 cut\n"
                            "0000BEEF 4.4.2026 7:00 other.dsl 3";
    const MergedConfiguration merged =
        mergeUpdateConfiguration(old, {edition(0x5A3C1E01, "cs-en.dsl", "1.1", true), edition(0x12, "new.dsl", "1")});
    EXPECT_EQ(merged.text, "# editions of the signalling dictionaries\r\n"
                           "5A3C1E02 1.1.2026 8:00 cs-ru.dsl 1.0\r\n"
                           "5A3C1E01 8.12.2026 10:00 cs-en.dsl 1.1 signed\n"
                           "\n"
                           "5A3C1E01 cut\n"
                           "0000BEEF 4.4.2026 7:00 other.dsl 3\n"
                           "00000012 8.12.2026 10:00 new.dsl 1\n");
    EXPECT_EQ(merged.replaced, 2u);
    EXPECT_EQ(merged.kept, 4u);
    EXPECT_EQ(merged.added, 1u);
    EXPECT_EQ(findPublishedEdition(merged.text, 0x5A3C1E01)->version, "1.1");

    const MergedConfiguration fresh = mergeUpdateConfiguration("", {edition(1, "a.dsl", "1")});
    EXPECT_EQ(fresh.text, "00000001 8.12.2026 10:00 a.dsl 1\n");
    EXPECT_EQ(fresh.kept + fresh.replaced, 0u);
    EXPECT_EQ(mergeUpdateConfiguration(fresh.text, {edition(1, "a.dsl", "1")}).text, fresh.text)
        << "publishing the same edition again changes nothing";
}

TEST(EditionPublishing, MergingReadsLinesAsTheProgramDoesWhereANulEndsOne) {
    // After a NUL the program reads a line of its own: an old edition hidden
    // there would otherwise stay the first of its ID and be offered for ever.
    const std::string old = "00000001 1.1.2026 8:00 a.dsl 0.9\0garbage\n"
                            "# note\0" "00000002 1.1.2026 8:00 b.dsl 0.9\n"
                            "00000003 1.1.2026 8:00 c.dsl 3\r\0\r\r"s;
    const MergedConfiguration merged =
        mergeUpdateConfiguration(old, {edition(1, "a.dsl", "1"), edition(2, "b.dsl", "1")});
    EXPECT_EQ(merged.text, "00000001 8.12.2026 10:00 a.dsl 1\n"
                           "garbage\n"
                           "# note\0" "00000002 8.12.2026 10:00 b.dsl 1\n"
                           "00000003 1.1.2026 8:00 c.dsl 3\r\0"s);
    EXPECT_EQ(merged.replaced, 2u);
    EXPECT_EQ(merged.kept, 3u);
    for (std::uint32_t id : {1u, 2u}) EXPECT_EQ(findPublishedEdition(merged.text, id)->version, "1") << id;
    EXPECT_EQ(findPublishedEdition(merged.text, 3)->version, "3");
}

}  // namespace
}  // namespace trelvo
