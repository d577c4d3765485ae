// The built-in number formats of the workbook file format (ids 0 to 49), en-US, and what the
// ids of East Asian locales read as elsewhere.
#include <strings.h>

#include "grid/format/number_format.h"

namespace ddt::grid::format {

namespace {

constexpr int kBuiltinCount = 50;

// Ids 23 to 36 are reserved for other locales and have no en-US code. Ids 14 and 22 show
// the locale's short date, which is m/d/yyyy in en-US; 47 is minutes, seconds and tenths.
constexpr const char* kBuiltin[kBuiltinCount] = {
    "General",                  // 0
    "0",                        // 1
    "0.00",                     // 2
    "#,##0",                    // 3
    "#,##0.00",                 // 4
    "\"$\"#,##0_);\\(\"$\"#,##0\\)",                // 5
    "\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)",           // 6
    "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)",          // 7
    "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)",     // 8
    "0%",                       // 9
    "0.00%",                    // 10
    "0.00E+00",                 // 11
    "# ?/?",                    // 12
    "# ?\?/??",                 // 13
    "m/d/yyyy",                 // 14
    "d-mmm-yy",                 // 15
    "d-mmm",                    // 16
    "mmm-yy",                   // 17
    "h:mm AM/PM",               // 18
    "h:mm:ss AM/PM",            // 19
    "h:mm",                     // 20
    "h:mm:ss",                  // 21
    "m/d/yyyy h:mm",            // 22
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 23-29
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,  // 30-36
    "#,##0_);(#,##0)",          // 37
    "#,##0_);[Red](#,##0)",     // 38
    "#,##0.00_);(#,##0.00)",    // 39
    "#,##0.00_);[Red](#,##0.00)",  // 40
    "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",                      // 41
    "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)",       // 42
    "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)",              // 43
    "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)",  // 44
    "mm:ss",                    // 45
    "[h]:mm:ss",                // 46
    "mm:ss.0",                  // 47
    "##0.0E+0",                 // 48
    "@",                        // 49
};

}  // namespace

const char* BuiltinFormatCode(int id) {
  if (id < 0 || id >= kBuiltinCount) return nullptr;
  return kBuiltin[id];
}

const char* LocaleBuiltinFormatCode(int id) {
  if (id >= 32 && id <= 35) return "h:mm:ss";
  if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58)) return "m/d/yyyy";
  return nullptr;
}

int BuiltinFormatId(std::string_view code) {
  if (code.empty() || (code.size() == 7 && strncasecmp(code.data(), "General", 7) == 0)) return 0;
  for (int id = 0; id < kBuiltinCount; ++id)
    if (kBuiltin[id] && code == kBuiltin[id]) return id;
  return -1;
}

}  // namespace ddt::grid::format
