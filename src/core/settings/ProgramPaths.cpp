#include "ProgramPaths.h"

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace trelvo {

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    return path + name;
}

std::string executableFolder() {
    std::vector<char> buffer(4096);
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return "./";
    std::string path(buffer.data(), static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

int dayNumber(int year, int month, int day) {
    return year * 372 + (month - 1) * 31 + (day - 1);
}

int todayDayNumber() {
    std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    return dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool updateReminderDue(int today, int lastUpdateDay) {
    // A stored day may be anything; the difference of two ints needs 64 bits.
    return std::abs(std::int64_t{today} - lastUpdateDay) > 186;
}

}  // namespace trelvo
