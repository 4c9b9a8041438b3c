// The character tables as delivered in upchar.dat: the orders users of each
// language expect, and case folding checked against Unicode's own case data.

#include "core/dictionary/CharacterTables.h"
#include "core/dictionary/CodePage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <locale.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wctype.h>

using trelvo::CharacterTables;
using trelvo::CodePage;

namespace {

constexpr int codePageOf[CharacterTables::tableCount] = {1250, 1250, 1251, 1252, 1257, 1254};

int compareBytes(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

class DeliveredTables : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tables_ = new CharacterTables;
        loaded_ = tables_->loadCharacterTables(TRELVO_RUNTIME_DIR "/upchar.dat");
    }
    static void TearDownTestSuite() {
        delete tables_;
        tables_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(loaded_) << "cannot read " TRELVO_RUNTIME_DIR "/upchar.dat"; }

    static std::string key(int t, std::string_view utf8) {
        return tables_->makeCollationKey(CodePage::fromUtf8(utf8, codePageOf[t]), t);
    }
    static void expectAscending(int t, std::initializer_list<std::string_view> words) {
        const std::string_view* previous = nullptr;
        for (const std::string_view& word : words) {
            if (previous) {
                EXPECT_LT(compareBytes(key(t, *previous), key(t, word)), 0)
                    << "table " << t << ": \"" << *previous << "\" should sort before \"" << word << "\"";
            }
            previous = &word;
        }
    }
    static void expectSame(int t, std::string_view a, std::string_view b) {
        EXPECT_EQ(compareBytes(key(t, a), key(t, b)), 0) << "table " << t << ": \"" << a << "\" and \"" << b << "\"";
    }

    static CharacterTables* tables_;
    static bool loaded_;
};

CharacterTables* DeliveredTables::tables_ = nullptr;
bool DeliveredTables::loaded_ = false;

TEST_F(DeliveredTables, CzechAndSlovakOrder) {
    for (int t : {0, 1}) {
        expectAscending(t, {"hrad", "hradlo", "chata", "ivan"});
        expectAscending(t, {"cukr", "čára", "dům"});
        expectAscending(t, {"rychlost", "řád", "semafor"});
        expectAscending(t, {"světlo", "šablona", "tabule"});
        expectAscending(t, {"návěst", "návěstidlo", "návěstní"});
        // CH inside a word, and folded accents deciding only where nothing else does
        expectAscending(t, {"pohon", "pochůzka", "porucha"});
        expectAscending(t, {"zabezpečovač", "závěr", "zdroj", "žlutá"});
        expectSame(t, "vyhybka", "výhybka");
        expectSame(t, "VÝHYBKA", "výhybka");
        expectSame(t, "Chata", "CHATA");
        expectSame(t, "ľavý", "LAVY");
        expectSame(t, "ôsmy", "osmy");
    }
}

TEST_F(DeliveredTables, CyrillicOrder) {
    expectAscending(2, {"еда", "ёж", "жук"});
    expectSame(2, "ёлка", "елка");
    // Ukrainian
    expectAscending(2, {"гора", "ґанок", "дорога"});
    expectAscending(2, {"енергія", "єдність", "жовтий"});
    expectAscending(2, {"ирій", "іскра", "їжак", "йод"});
    // Bulgarian
    expectAscending(2, {"шина", "щит", "ъгъл", "юг"});
    // Latin names inside Cyrillic text
    expectAscending(2, {"GSM-R", "автоблокировка"});
}

TEST_F(DeliveredTables, WesternEuropeanOrder) {
    expectSame(3, "café", "CAFE");
    expectAscending(3, {"apfel", "Ärger", "arm"});
    expectAscending(3, {"sonde", "søster", "sud"});
    expectAscending(3, {"strand", "Straße", "street"});
    expectAscending(3, {"zone", "þing"});
}

TEST_F(DeliveredTables, BalticOrder) {
    // Lithuanian
    expectAscending(4, {"cukrus", "čiuožykla", "dalis"});
    expectAscending(4, {"signalas", "šviesoforas", "tiltas"});
    expectAscending(4, {"zona", "žiedas"});
    expectSame(4, "ąsotis", "asotis");
    expectSame(4, "mūsų", "MUSU");
    // Latvian
    expectAscending(4, {"gaiss", "ģenerators", "hidrants"});
    expectAscending(4, {"kurss", "ķēde", "lauks"});
    expectAscending(4, {"lūpa", "ļoti", "mala"});
    expectSame(4, "ātrums", "atrums");
    // Estonian
    expectAscending(4, {"aed", "äri", "buss"});
    expectAscending(4, {"ots", "õhk", "öö", "pilt"});
    expectAscending(4, {"uks", "ülikool", "vagun"});
}

TEST_F(DeliveredTables, TurkishOrder) {
    expectAscending(5, {"ılık", "ilk"});
    expectAscending(5, {"ISPARTA", "isparta"});
    expectSame(5, "IRMAK", "ırmak");
    expectSame(5, "İSTANBUL", "istanbul");
    expectSame(5, "millî", "milli");
    expectAscending(5, {"cam", "çay", "dag", "dağ", "dal"});
    expectAscending(5, {"oda", "ödev", "para"});
    expectAscending(5, {"sarı", "şeker", "tren"});
    expectAscending(5, {"us", "üs", "vagon"});
}

// Unicode's case pairs decide which bytes must fold together, so a letter
// forgotten in the source shows here, not in some user's word list.
TEST_F(DeliveredTables, EveryLetterIsRankedAndFoldsWithItsOtherCase) {
    locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    if (unicode == nullptr) GTEST_SKIP() << "no C.UTF-8 locale for Unicode case data";
    for (int t = 0; t < CharacterTables::tableCount; ++t) {
        const int cp = codePageOf[t];
        const CharacterTables::Table& table = tables_->table(t);
        for (int b = 1; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const char16_t u = CodePage::toUnicode(byte, cp)[0];
            // spacing accents count as letters in Unicode but are not letters of words
            if (!iswalpha_l(u, unicode) || u == u'\u02C6' || u == u'\u02C7') continue;
            const std::string shown = CodePage::toUtf8(byte, cp);
            const std::string own = tables_->makeCollationKey(byte, t);

            // A letter left out of the order keeps its byte as its rank.
            if (b >= 128) {
                const std::uint8_t upper = table.upper[static_cast<std::size_t>(b)];
                EXPECT_NE(table.rank[upper], upper) << "table " << t << ": '" << shown << "' is not in the order";
            }

            for (wint_t other : {towupper_l(u, unicode), towlower_l(u, unicode)}) {
                if (other == u || other > 0xFFFF) continue;
                // Turkish pairs i with İ and ı with I; checked below.
                if (t == 5 && (u == 'i' || u == 'I')) continue;
                const std::string otherByte = CodePage::fromUnicode(std::u16string(1, static_cast<char16_t>(other)), cp);
                if (otherByte == "?") continue;
                EXPECT_EQ(compareBytes(own, tables_->makeCollationKey(otherByte, t)), 0)
                    << "table " << t << ": '" << shown << "' and '" << CodePage::toUtf8(otherByte, cp) << "'";
            }
        }
    }
    freelocale(unicode);
    expectSame(5, "i", "İ");
    expectSame(5, "ı", "I");
    EXPECT_NE(key(5, "i"), key(5, "I"));
}

#ifdef MAKE_UPCHAR_PATH

// The generator run on small sources of its own.
class DeliveredTablesGenerator : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("trelvo-make-upchar-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    int run(const std::string& source) {
        std::ofstream(folder_ / "upchar.txt", std::ios::binary) << source;
        std::string command = std::string("\"") + MAKE_UPCHAR_PATH + "\" \"" + (folder_ / "upchar.txt").string() + "\" \"" +
                              output().string() + "\" 2>\"" + (folder_ / "errors").string() + "\"";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::path output() const { return folder_ / "upchar.dat"; }
    std::string errors() const {
        std::ifstream in(folder_ / "errors");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path folder_;
};

TEST_F(DeliveredTablesGenerator, RefusesACharacterMissingFromTheCodePage) {
    EXPECT_EQ(run("table 2 cp1251\nА а\nŘ ř\n"), 1);
    EXPECT_FALSE(std::filesystem::exists(output()));
    EXPECT_NE(errors().find("Ř"), std::string::npos) << errors();
}

TEST_F(DeliveredTablesGenerator, WritesTablesTheProgramReads) {
    ASSERT_EQ(run("# Turkish i, and a digraph\n"
                  "table 5 cp1254\nI ı\nİ i\n"
                  "table 0 1 cp1250\nC c čČ\nH h\nCH\n"),
              0)
        << errors();
    CharacterTables tables;
    ASSERT_TRUE(tables.loadCharacterTables(output().string()));
    auto key = [&](std::string_view utf8, int t) { return tables.makeCollationKey(CodePage::fromUtf8(utf8, codePageOf[t]), t); };
    EXPECT_EQ(key("ı", 5), key("I", 5));
    EXPECT_EQ(key("i", 5), key("İ", 5));
    EXPECT_LT(compareBytes(key("I", 5), key("İ", 5)), 0);
    for (int t : {0, 1}) {
        EXPECT_EQ(key("č", t), key("C", t));
        EXPECT_LT(compareBytes(key("hh", t), key("ch", t)), 0);
    }
}

#endif

}  // namespace
