// Any trelvo.cfg must read, from its bytes and from the file, taking only the
// fields the file holds; what was read must come back unchanged from the
// bytes written for it. Whatever it holds, the window it gives lies on the
// screen and the update reminder's day difference is sane.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "FuzzFolder.h"
#include "core/settings/ProgramConfiguration.h"
#include "core/settings/ProgramPaths.h"
#include "core/settings/WindowPlacement.h"

namespace {

using trelvo::ProgramConfiguration;
using trelvo::WindowRect;

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

// On the screen: no longer than it, no shorter than nothing, both ends on it;
// a stored span that already lies on the screen stays as it was.
void checkSpan(int start, int length, int storedStart, int storedLength, int screenStart, int screenLength) {
    const std::int64_t end = std::int64_t{start} + length;
    if (length < 0 || length > screenLength || start < screenStart || end > std::int64_t{screenStart} + screenLength)
        std::abort();
    const bool fitted = storedLength >= 0 && storedStart >= screenStart &&
                        std::int64_t{storedStart} + storedLength <= std::int64_t{screenStart} + screenLength;
    if (fitted && (start != storedStart || length != storedLength)) std::abort();
}

void checkPlacement(const ProgramConfiguration& c) {
    const WindowRect screens[] = {{0, 0, 1024, 768}, {0, 0, 1, 1}, {-1920, -300, 1920, 1080}, {1280, 0, 3840, 2160}};
    for (const WindowRect& screen : screens) {
        const WindowRect w = trelvo::fitToScreen({c.left, c.top, c.width, c.height}, screen);
        checkSpan(w.left, w.width, c.left, c.width, screen.left, screen.width);
        checkSpan(w.top, w.height, c.top, c.height, screen.top, screen.height);
    }
}

// The reminder is due for no day against itself, the same either way round,
// and for every day further off than one it is due for.
void checkReminder(int stored) {
    for (int today : {0, trelvo::dayNumber(2026, 12, 8), INT_MIN, INT_MAX, stored}) {
        const bool due = trelvo::updateReminderDue(today, stored);
        if (due != trelvo::updateReminderDue(stored, today)) std::abort();
        if (today == stored && due) std::abort();
        if (due && stored < today && stored > INT_MIN && !trelvo::updateReminderDue(today, stored - 1)) std::abort();
        if (due && stored > today && stored < INT_MAX && !trelvo::updateReminderDue(today, stored + 1)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ProgramConfiguration start = startValues();
    ProgramConfiguration c = start;
    trelvo::parseConfiguration(bytes, c);

    // The file gives what its bytes give.
    const std::string path = fuzzFile("trelvo.cfg");
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(size));
    ProgramConfiguration read = start;
    if (!trelvo::readConfiguration(path, read) || !same(read, c)) std::abort();

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
    checkPlacement(c);
    checkReminder(c.lastUpdateDay);

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
