// Any trelvo.cfg must read, taking only the fields the file holds; what was
// read must come back unchanged from the bytes written for it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/settings/ProgramConfiguration.h"

namespace {

using trelvo::ProgramConfiguration;

bool same(const ProgramConfiguration& a, const ProgramConfiguration& b) {
    return a.autoUpdate == b.autoUpdate && a.lastDictionary == b.lastDictionary && a.top == b.top &&
           a.left == b.left && a.width == b.width && a.height == b.height && a.lastUpdateDay == b.lastUpdateDay;
}

// Values no file field can give (lastDictionary is one byte), so that a field
// taken from a file it does not hold shows.
ProgramConfiguration startValues() {
    ProgramConfiguration c;
    c.autoUpdate = false;
    c.lastDictionary = 300;
    c.top = 111;
    c.left = -222;
    c.width = 333;
    c.height = 444;
    c.lastUpdateDay = 555;
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProgramConfiguration start = startValues();
    ProgramConfiguration c = start;
    trelvo::parseConfiguration(bytes, c);

    // Bytes past the 22 change nothing.
    ProgramConfiguration cut = start;
    trelvo::parseConfiguration(bytes.substr(0, 22), cut);
    if (!same(c, cut)) std::abort();

    // A field is taken exactly when the file holds all of it: as the same
    // bytes followed by anything would give it, else as it was.
    ProgramConfiguration padded = start;
    trelvo::parseConfiguration(std::string(bytes.substr(0, 22)) + std::string(22, '\x5A'), padded);
    auto check = [size](std::size_t end, auto got, auto whole, auto before) {
        if (got != (size >= end ? whole : before)) std::abort();
    };
    check(1, c.autoUpdate, padded.autoUpdate, start.autoUpdate);
    check(2, c.lastDictionary, padded.lastDictionary, start.lastDictionary);
    check(6, c.top, padded.top, start.top);
    check(10, c.left, padded.left, start.left);
    check(14, c.width, padded.width, start.width);
    check(18, c.height, padded.height, start.height);
    check(22, c.lastUpdateDay, padded.lastUpdateDay, 0);
    if (size >= 1 && c.autoUpdate != (data[0] != 0)) std::abort();
    if (size >= 2 && c.lastDictionary != data[1]) std::abort();

    // The written file holds every field: read over anything it gives c back.
    const std::string written = trelvo::serializeConfiguration(c);
    if (written.size() != 22) std::abort();
    ProgramConfiguration back;
    back.autoUpdate = !c.autoUpdate;
    back.lastDictionary = c.lastDictionary + 1;
    trelvo::parseConfiguration(written, back);
    ProgramConfiguration expectedBack = c;
    expectedBack.lastDictionary &= 0xFF;  // a start value may not fit the byte; a read one does
    if (!same(back, expectedBack)) std::abort();

    // A whole file is written back byte for byte, but for the flag, which
    // is stored as 0 or 1.
    if (size >= 22) {
        std::string expected(bytes.substr(0, 22));
        expected[0] = expected[0] != 0 ? '\1' : '\0';
        if (written != expected) std::abort();
    }
    return 0;
}
