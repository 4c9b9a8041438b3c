#include "LanguageCodes.h"

#include <cctype>
#include <utility>

#include "core/dictionary/CodePage.h"

namespace trelvo {

namespace {

// Czech and English names of the languages a railway dictionary is likely to
// hold, in lower case UTF-8.
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
};

std::string lowerUtf8(std::string text) {
    // Lower-cases ASCII and the Czech capitals of the names above.
    static constexpr std::pair<const char*, const char*> capitals[] = {
        {"Č", "č"}, {"Ř", "ř"}, {"Š", "š"}, {"Ž", "ž"}, {"Ú", "ú"}, {"Ě", "ě"}};
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (auto [upper, lower] : capitals)
        for (std::size_t at = text.find(upper); at != std::string::npos; at = text.find(upper, at))
            text.replace(at, std::string_view(upper).size(), lower);
    return text;
}

}  // namespace

std::string languageCode(const DictionaryHeader& header, int side) {
    const std::string name =
        lowerUtf8(CodePage::toUtf8(header.languageName[static_cast<std::size_t>(side)], CodePage::headerCodePage));
    for (auto [known, code] : namedLanguages)
        if (name == known) return code;
    if (header.languageCharset[static_cast<std::size_t>(side)] == 162) return "tr";
    return "und";
}

bool sameLanguage(std::string_view xmlLang, std::string_view code) {
    const std::string_view primary = xmlLang.substr(0, xmlLang.find_first_of("-_"));
    if (primary.size() != code.size()) return false;
    for (std::size_t i = 0; i < code.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(primary[i])) != code[i]) return false;
    return true;
}

}  // namespace trelvo
