#include "LanguageCodes.h"

#include <algorithm>
#include <utility>

#include "core/dictionary/AsciiText.h"
#include "core/dictionary/AtomicFile.h"
#include "core/dictionary/CodePage.h"
#include "core/dictionary/WholeFile.h"

namespace trelvo {

namespace {

// Czech names (as nouns and as adverbs) and English names of the languages a
// railway dictionary is likely to hold, in lower case UTF-8.
constexpr std::pair<const char*, const char*> namedLanguages[] = {
    {"čeština", "cs"},       {"czech", "cs"},         {"angličtina", "en"},   {"english", "en"},
    {"ruština", "ru"},       {"russian", "ru"},       {"němčina", "de"},      {"german", "de"},
    {"slovenština", "sk"},   {"slovak", "sk"},        {"polština", "pl"},     {"polish", "pl"},
    {"francouzština", "fr"}, {"french", "fr"},        {"maďarština", "hu"},   {"hungarian", "hu"},
    {"ukrajinština", "uk"},  {"ukrainian", "uk"},     {"bulharština", "bg"},  {"bulgarian", "bg"},
    {"italština", "it"},     {"italian", "it"},       {"španělština", "es"},  {"spanish", "es"},
    {"turečtina", "tr"},     {"turkish", "tr"},       {"litevština", "lt"},   {"lithuanian", "lt"},
    {"lotyština", "lv"},     {"latvian", "lv"},       {"estonština", "et"},   {"estonian", "et"},
    {"slovinština", "sl"},   {"slovenian", "sl"},     {"chorvatština", "hr"}, {"croatian", "hr"},
    {"rumunština", "ro"},    {"romanian", "ro"},      {"srbština", "sr"},     {"serbian", "sr"},
    {"česky", "cs"},         {"anglicky", "en"},      {"rusky", "ru"},        {"německy", "de"},
    {"slovensky", "sk"},     {"polsky", "pl"},        {"francouzsky", "fr"},  {"maďarsky", "hu"},
    {"ukrajinsky", "uk"},    {"italsky", "it"},       {"španělsky", "es"},    {"turecky", "tr"},
};

std::string lowerUtf8(std::string text) {
    // Lower-cases ASCII and the Czech capitals of the names above.
    static constexpr std::pair<const char*, const char*> capitals[] = {
        {"Č", "č"}, {"Ř", "ř"}, {"Š", "š"}, {"Ž", "ž"}, {"Ú", "ú"}, {"Ě", "ě"}};
    text = asciiLower(std::move(text));
    for (auto [upper, lower] : capitals)
        for (std::size_t at = text.find(upper); at != std::string::npos; at = text.find(upper, at))
            text.replace(at, std::string_view(upper).size(), lower);
    return text;
}

}  // namespace

std::string derivedLanguageCode(const DictionaryHeader& header, int side) {
    const std::string name =
        lowerUtf8(CodePage::toUtf8(header.languageName[static_cast<std::size_t>(side)], CodePage::headerCodePage));
    for (auto [known, code] : namedLanguages)
        if (name == known) return code;
    if (header.languageCharset[static_cast<std::size_t>(side)] == 162) return "tr";
    return "und";
}

std::string languageCodesPath(const std::string& dictionaryPath) { return dictionaryPath + ".lang"; }

bool isLanguageCode(std::string_view code) {
    return (code.size() == 2 || code.size() == 3) &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::string languageCode(const DictionaryHeader& header, int side) {
    std::string code = derivedLanguageCode(header, side);
    std::string kept;
    if (code != "und" || header.filePath.empty() ||
        !readWholeFile(languageCodesPath(header.filePath), kept, languageCodesLimit))
        return code;
    return keptLanguageCode(kept, side).value_or(code);
}

std::optional<std::string> keptLanguageCode(std::string_view kept, int side) {
    // A small text file of the user's: anything but a code on the line is ignored.
    std::string_view rest = kept.substr(0, 64);
    for (int line = 0; line < side; ++line) {
        const std::size_t end = rest.find('\n');
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    const std::string_view mine = rest.substr(0, rest.find_first_of("\r\n"));
    if (!isLanguageCode(mine)) return std::nullopt;
    return std::string(mine);
}

bool storeLanguageCodes(const std::string& dictionaryPath, const std::string& code0, const std::string& code1) {
    return replaceFileAtomically(languageCodesPath(dictionaryPath), code0 + "\n" + code1 + "\n");
}

bool sameLanguage(std::string_view xmlLang, std::string_view code) {
    return equalsIgnoringCase(xmlLang.substr(0, xmlLang.find_first_of("-_")), code);
}

}  // namespace trelvo
