#include "HunspellStems.h"

#include <hunspell/hunspell.hxx>
#include <iconv.h>

#include <cerrno>
#include <filesystem>
#include <map>

namespace trelvo {

namespace {

// text from one encoding to another; empty when it has no conversion.
std::string convert(const std::string& text, const std::string& from, const std::string& to) {
    if (from == to) return text;
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string in = text, out(4 * text.size() + 8, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const std::size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1)) return {};
    out.resize(out.size() - outLeft);
    return out;
}

bool isFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

HunspellStems::HunspellStems(std::unique_ptr<Hunspell> hunspell, std::string encoding)
    : hunspell_(std::move(hunspell)), encoding_(std::move(encoding)) {}

HunspellStems::~HunspellStems() = default;

std::unique_ptr<HunspellStems> HunspellStems::open(const std::string& affPath, const std::string& dicPath) {
    if (!isFile(affPath) || !isFile(dicPath)) return nullptr;
    auto hunspell = std::make_unique<Hunspell>(affPath.c_str(), dicPath.c_str());
    std::string encoding = hunspell->get_dict_encoding();
    if (encoding == "UTF8" || encoding == "utf-8") encoding = "UTF-8";
    return std::unique_ptr<HunspellStems>(new HunspellStems(std::move(hunspell), std::move(encoding)));
}

std::unique_ptr<HunspellStems> HunspellStems::forLanguage(const std::string& code, const std::string& folder) {
    static const std::map<std::string, std::string> dictionaries = {
        {"cs", "cs_CZ"}, {"sk", "sk_SK"}, {"ru", "ru_RU"}, {"en", "en_US"}, {"de", "de_DE"}};
    const auto found = dictionaries.find(code);
    if (found == dictionaries.end()) return nullptr;
    const std::string base = folder + "/" + found->second;
    return open(base + ".aff", base + ".dic");
}

std::vector<std::string> HunspellStems::stems(const std::string& word) const {
    const std::string inDictionary = convert(word, "UTF-8", encoding_);
    if (inDictionary.empty()) return {};
    std::vector<std::string> found;
    {
        std::lock_guard lock(mutex_);
        found = hunspell_->stem(inDictionary);
    }
    std::vector<std::string> stems;
    for (const std::string& stem : found)
        if (std::string utf8 = convert(stem, encoding_, "UTF-8"); !utf8.empty()) stems.push_back(std::move(utf8));
    return stems;
}

}  // namespace trelvo
