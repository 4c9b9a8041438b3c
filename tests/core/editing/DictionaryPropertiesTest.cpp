#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/dictionary/DictionaryFile.h"
#include "core/editing/DictionaryProperties.h"
#include "core/editing/PictureFile.h"
#include "support/TemporaryFolder.h"

using namespace trelvo;

TEST(DictionaryProperties, CharsetItemsMapBothWays) {
    const int codes[] = {1, 238, 204, 186, 0, 162};
    for (int item = 0; item < DictionaryProperties::charsetItems; ++item) {
        EXPECT_EQ(DictionaryProperties::charsetOfItem(item), codes[item]);
        EXPECT_EQ(DictionaryProperties::itemOfCharset(codes[item]), item);
    }
    EXPECT_EQ(DictionaryProperties::itemOfCharset(77), 0) << "an unknown code shows as the first item";
}

TEST(DictionaryProperties, IdAndCodeShareOneText) {
    EXPECT_EQ(DictionaryProperties::idOf("0A1B2C3Dkod"), "0A1B2C3D");
    EXPECT_EQ(DictionaryProperties::accessCodeOf("0A1B2C3Dkod"), "kod");
    EXPECT_EQ(DictionaryProperties::accessCodeOf("0A1B2C3D"), "");
    EXPECT_EQ(DictionaryProperties::idOf("12"), "12");
    EXPECT_TRUE(DictionaryProperties::isValidId("0a1B2c3D"));
    EXPECT_FALSE(DictionaryProperties::isValidId("0A1B2C3"));
    EXPECT_FALSE(DictionaryProperties::isValidId("0A1B2C3G"));
    std::vector<std::uint32_t> values{0x12345, 0xABCD};
    std::size_t i = 0;
    EXPECT_EQ(DictionaryProperties::newId([&] { return values[i++]; }), "2345ABCD") << "16 bits each, in order";
}

TEST(DictionaryProperties, AccessCodeChecks) {
    EXPECT_EQ(checkAccessCode("0A1B2C3D", ""), AccessCheck::granted);
    EXPECT_EQ(checkAccessCode("0A1B2C3DHeslo", "Heslo"), AccessCheck::granted);
    EXPECT_EQ(checkAccessCode("0A1B2C3DHeslo", "heslo"), AccessCheck::wrongCode);
    EXPECT_EQ(checkAccessCode("0A1B2C3DHeslo", ""), AccessCheck::cancelled);
}

TEST(DictionaryProperties, ApplyingWritesEverythingOrNothing) {
    const trelvo::support::TemporaryFolder folder("trelvo-props");
    const std::string good = folder.file("good.bmp"), big = folder.file("big.bmp");
    std::ofstream(good, std::ios::binary) << "BM" << std::string(60, '\0');
    std::ofstream(big, std::ios::binary) << "BM" << std::string(12000, '\0');

    DictionaryHeader header;
    header.languageImage = {"old0", "old1"};
    header.updateStamp = "202601010000";
    DictionaryProperties p = DictionaryProperties::of(header);
    p.name = "Nový";
    p.id = "abcdef01";
    p.accessCode = "k";
    p.charsetItem = {1, 2};
    p.pendingImage = {good, " "};
    std::string failed;
    ASSERT_EQ(p.applyTo(header, failed), DictionaryProperties::Failure::none);
    EXPECT_EQ(header.name, "Nový");
    EXPECT_EQ(header.idAndAccessCode, "ABCDEF01k");
    EXPECT_EQ(header.languageCharset[0], 238);
    EXPECT_EQ(header.languageCharset[1], 204);
    EXPECT_EQ(header.languageImage[0].size(), 62u);
    EXPECT_TRUE(header.languageImage[1].empty());
    EXPECT_EQ(header.updateStamp, "202601010000") << "the dialog never touches the update stamp";

    const DictionaryHeader before = header;
    p.name = "Jiný";
    p.pendingImage = {"", big};
    EXPECT_EQ(p.applyTo(header, failed), DictionaryProperties::Failure::badPicture);
    EXPECT_EQ(failed, big);
    EXPECT_EQ(header, before);
    p.pendingImage = {};
    p.id = "123";
    EXPECT_EQ(p.applyTo(header, failed), DictionaryProperties::Failure::badId);
    EXPECT_EQ(header, before);
}

TEST(PictureFile, OnlyARegularBmpFileWithinTheLimitIsRead) {
    const trelvo::support::TemporaryFolder folder("trelvo-picture");
    const std::string base = folder.path().string() + "/";
    std::ofstream(base + "good.bmp", std::ios::binary) << "BM" << std::string(maxImageLength - 2, '\0');
    std::ofstream(base + "short.bmp", std::ios::binary) << "BM" << std::string(51, '\0');
    std::ofstream(base + "text.bmp", std::ios::binary) << std::string(60, 'x');
    std::ofstream(base + "big.bmp", std::ios::binary) << "BM" << std::string(maxImageLength - 1, '\0');
    // A sparse giant takes no room on the disk, and is not read.
    std::ofstream(base + "giant.bmp", std::ios::binary) << "BM" << std::string(60, '\0');
    std::filesystem::resize_file(base + "giant.bmp", std::uintmax_t{1} << 31);
    // A pipe no one writes must not keep the dialog waiting.
    ASSERT_EQ(::mkfifo((base + "pipe.bmp").c_str(), 0644), 0);

    std::string bytes;
    EXPECT_EQ(readPicture(base + "good.bmp", bytes), PictureFault::none);
    EXPECT_EQ(bytes.size(), maxImageLength);
    const std::pair<std::string, PictureFault> refused[] = {
        {base + "short.bmp", PictureFault::notBitmap}, {base + "text.bmp", PictureFault::notBitmap},
        {base + "big.bmp", PictureFault::tooLarge},    {base + "giant.bmp", PictureFault::tooLarge},
        {base + "pipe.bmp", PictureFault::unreadable}, {"/dev/zero", PictureFault::unreadable},
        {base, PictureFault::unreadable},              {base + "missing.bmp", PictureFault::unreadable}};
    for (const auto& [path, fault] : refused) EXPECT_EQ(readPicture(path, bytes), fault) << path;

    // The properties dialog refuses them the same way, changing nothing.
    DictionaryHeader header;
    DictionaryProperties p = DictionaryProperties::of(header);
    p.id = "abcdef01";
    std::string failed;
    p.pendingImage = {base + "pipe.bmp", ""};
    EXPECT_EQ(p.applyTo(header, failed), DictionaryProperties::Failure::badPicture);
    EXPECT_EQ(failed, base + "pipe.bmp");
}
