// Any termbase must be read without a fault: every pair has a clean term and
// texts without control characters, and the file split anywhere into pieces
// gives what it gives whole, and fails where it fails whole. Read as it is, behind a
// UTF-16 mark and declared in windows-1250.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/dictionary/DictionaryFile.h"
#include "core/exchange/TbxFormat.h"
#include "core/exchange/TermbaseReader.h"

namespace {

struct Read {
    std::vector<std::string> texts;
    bool failed = false;
    bool operator==(const Read&) const = default;
};

trelvo::DictionaryHeader header() {
    trelvo::DictionaryHeader h;
    h.languageName = {"\xC8" "e\x9Atina", "Angli\xE8tina"};
    h.languageCharset = {238, 0};
    return h;
}

trelvo::PairSink collect(Read& read) {
    return [&read](std::string_view term, std::string_view translation, std::string_view note) {
        if (term.empty()) std::abort();
        for (std::string_view text : {term, translation, note}) {
            for (char c : text)
                if (static_cast<unsigned char>(c) < 32) std::abort();
            read.texts.emplace_back(text);
        }
        return read.texts.size() < 30000;
    };
}

// The UTF-8 bytes fed to the reader in two pieces, parted at split.
Read inPieces(std::string_view bytes, std::size_t split) {
    Read read;
    trelvo::ImportReading found;
    const trelvo::PairSink sink = collect(read);
    trelvo::TermbaseReader reader(header(), sink, found);
    if (reader.read(bytes.substr(0, split), false)) reader.read(bytes.substr(split), true);
    // Whether there is a fault: the parser may name and place one in a token
    // that the pieces cut otherwise.
    read.failed = !found.error.empty();
    return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string given(reinterpret_cast<const char*>(data) + 1, size - 1);
    for (const std::string& bytes : {given, "\xFF\xFE" + given,
                                     "<?xml version='1.0' encoding='windows-1250'?>" + given}) {
        Read whole;
        trelvo::ImportReading found;
        trelvo::readTbx(bytes, header(), collect(whole), &found);
    }
    // Text cut between pieces, a tag cut in two: the same as read at once.
    const std::size_t split = given.size() * data[0] / 255;
    // What the start of a file says of it, the whole file says too.
    for (const std::string& bytes : {given, "\xFE\xFF" + given}) {
        const trelvo::TermbaseStart start = trelvo::termbaseStartOf(std::string_view(bytes).substr(0, split));
        if (start != trelvo::TermbaseStart::undecided && start != trelvo::termbaseStartOf(bytes)) std::abort();
    }
    if (!(inPieces(given, split) == inPieces(given, given.size()))) std::abort();
    return 0;
}
