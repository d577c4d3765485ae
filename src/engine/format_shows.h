// What a number format shows of a number: the number itself, or a date, time or duration
// (spreadsheets keep dates as serial day numbers told apart only by their format).
#pragma once

#include <string>

namespace ddt::engine {

enum class FormatShows { Number, Date, DateTime, Time, Duration };

// Classifies a format code ("General", "yyyy-mm-dd", "[h]:mm", ...) by its first date
// section: day fields make a date, clock fields a time, both a date-time, elapsed hours
// without day fields a duration.
FormatShows ClassifyNumberFormat(const std::string& code);

}  // namespace ddt::engine
