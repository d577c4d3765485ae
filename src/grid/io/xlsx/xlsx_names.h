// Vocabulary of the .xlsx reader and writer: ISO dates; with it the vocabulary every format
// shares (cell references, colours, style names, XML text).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "grid/io/common/cell_refs.h"
#include "grid/io/common/colours.h"
#include "grid/io/common/style_names.h"
#include "grid/io/common/xml_text.h"
#include "text/column_letters.h"

namespace ddt::grid::io {

// Dates: ISO 8601 "2024-03-01T12:00:00" as a serial number of the 1900 or 1904 date system.
std::optional<double> IsoDateToSerial(std::string_view iso, bool date1904);

}  // namespace ddt::grid::io
