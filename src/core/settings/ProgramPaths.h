#pragma once

#include <string>

namespace trelvo {

// A name beginning with "/" is absolute and replaces the folder; otherwise it is
// appended behind a single "/".
std::string joinPath(const std::string& folder, const std::string& name);

// The folder of the running executable, ending in "/".
std::string executableFolder();

// year * 372 + (month - 1) * 31 + (day - 1): every month counts 31 days.
int dayNumber(int year, int month, int day);
// The day number of today's local date.
int todayDayNumber();

// Whether the update reminder is due: more than 186 day numbers lie between
// the last update (or reminder) and today, either way, since a clock set
// back means the last update's date cannot be trusted either.
bool updateReminderDue(int today, int lastUpdateDay);

}  // namespace trelvo
