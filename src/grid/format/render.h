// Rendering a value through one compiled section.
#pragma once

#include <string>

#include "grid/format/compiled_format.h"
#include "grid/format/number_format.h"

namespace ddt::grid::format {

// Appends `x` (non-negative) through a number, scientific, fraction or General section,
// with a leading minus when `minus`.
void RenderNumber(std::string& out, const Section& s, double x, bool minus);
// Appends the serial `v` through a date section.
void RenderDate(std::string& out, const Section& s, double v, bool date1904);
// Appends text through a text section.
void RenderText(std::string& out, const Section& s, std::string_view text);

}  // namespace ddt::grid::format
