#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "WordStems.h"

class Hunspell;

namespace trelvo {

// Stems from a Hunspell dictionary (an .aff and a .dic file).
class HunspellStems : public WordStems {
public:
    // Nothing when the files cannot be read.
    static std::unique_ptr<HunspellStems> open(const std::string& affPath, const std::string& dicPath);
    // The system's dictionary of a language (ISO 639-1 code, as languageCode
    // gives it) in folder; nothing for a language without one.
    static std::unique_ptr<HunspellStems> forLanguage(const std::string& code,
                                                      const std::string& folder = "/usr/share/hunspell");
    ~HunspellStems() override;

    std::vector<std::string> stems(const std::string& word) const override;

private:
    HunspellStems(std::unique_ptr<Hunspell> hunspell, std::string encoding);

    std::unique_ptr<Hunspell> hunspell_;
    std::string encoding_;  // the dictionary's, as iconv names it
    mutable std::mutex mutex_;  // Hunspell keeps state between calls
};

}  // namespace trelvo
