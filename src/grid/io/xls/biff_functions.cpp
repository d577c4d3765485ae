// Built-in functions of BIFF token arrays by number: name and fixed argument count (-1 for a
// variable count, written with the argument count in the token).
#include <array>

#include "grid/io/xls/biff_formulas.h"

namespace ddt::grid::io::biff {

namespace {

struct Entry {
  int number;
  const char* name;
  int fixedArgs;
};

constexpr Entry kFunctions[] = {
    {0, "COUNT", -1}, {1, "IF", -1}, {2, "ISNA", 1}, {3, "ISERROR", 1}, {4, "SUM", -1},
    {5, "AVERAGE", -1}, {6, "MIN", -1}, {7, "MAX", -1}, {8, "ROW", -1}, {9, "COLUMN", -1},
    {10, "NA", 0}, {11, "NPV", -1}, {12, "STDEV", -1}, {13, "DOLLAR", -1}, {14, "FIXED", -1},
    {15, "SIN", 1}, {16, "COS", 1}, {17, "TAN", 1}, {18, "ATAN", 1}, {19, "PI", 0},
    {20, "SQRT", 1}, {21, "EXP", 1}, {22, "LN", 1}, {23, "LOG10", 1}, {24, "ABS", 1},
    {25, "INT", 1}, {26, "SIGN", 1}, {27, "ROUND", 2}, {28, "LOOKUP", -1}, {29, "INDEX", -1},
    {30, "REPT", 2}, {31, "MID", 3}, {32, "LEN", 1}, {33, "VALUE", 1}, {34, "TRUE", 0},
    {35, "FALSE", 0}, {36, "AND", -1}, {37, "OR", -1}, {38, "NOT", 1}, {39, "MOD", 2},
    {40, "DCOUNT", 3}, {41, "DSUM", 3}, {42, "DAVERAGE", 3}, {43, "DMIN", 3}, {44, "DMAX", 3},
    {45, "DSTDEV", 3}, {46, "VAR", -1}, {47, "DVAR", 3}, {48, "TEXT", 2}, {49, "LINEST", -1},
    {50, "TREND", -1}, {51, "LOGEST", -1}, {52, "GROWTH", -1}, {56, "PV", -1}, {57, "FV", -1},
    {58, "NPER", -1}, {59, "PMT", -1}, {60, "RATE", -1}, {61, "MIRR", 3}, {62, "IRR", -1},
    {63, "RAND", 0}, {64, "MATCH", -1}, {65, "DATE", 3}, {66, "TIME", 3}, {67, "DAY", 1},
    {68, "MONTH", 1}, {69, "YEAR", 1}, {70, "WEEKDAY", -1}, {71, "HOUR", 1}, {72, "MINUTE", 1},
    {73, "SECOND", 1}, {74, "NOW", 0}, {75, "AREAS", 1}, {76, "ROWS", 1}, {77, "COLUMNS", 1},
    {78, "OFFSET", -1}, {82, "SEARCH", -1}, {83, "TRANSPOSE", 1}, {86, "TYPE", 1},
    {92, "SERIESSUM", 4}, {97, "ATAN2", 2}, {98, "ASIN", 1}, {99, "ACOS", 1}, {100, "CHOOSE", -1},
    {101, "HLOOKUP", -1}, {102, "VLOOKUP", -1}, {105, "ISREF", 1}, {109, "LOG", -1},
    {111, "CHAR", 1}, {112, "LOWER", 1}, {113, "UPPER", 1}, {114, "PROPER", 1}, {115, "LEFT", -1},
    {116, "RIGHT", -1}, {117, "EXACT", 2}, {118, "TRIM", 1}, {119, "REPLACE", 4},
    {120, "SUBSTITUTE", -1}, {121, "CODE", 1}, {124, "FIND", -1}, {125, "CELL", -1},
    {126, "ISERR", 1}, {127, "ISTEXT", 1}, {128, "ISNUMBER", 1}, {129, "ISBLANK", 1},
    {130, "T", 1}, {131, "N", 1}, {140, "DATEVALUE", 1}, {141, "TIMEVALUE", 1}, {142, "SLN", 3},
    {143, "SYD", 4}, {144, "DDB", -1}, {148, "INDIRECT", -1}, {162, "CLEAN", 1},
    {163, "MDETERM", 1}, {164, "MINVERSE", 1}, {165, "MMULT", 2}, {167, "IPMT", -1},
    {168, "PPMT", -1}, {169, "COUNTA", -1}, {183, "PRODUCT", -1}, {184, "FACT", 1},
    {189, "DPRODUCT", 3}, {190, "ISNONTEXT", 1}, {193, "STDEVP", -1}, {194, "VARP", -1},
    {195, "DSTDEVP", 3}, {196, "DVARP", 3}, {197, "TRUNC", -1}, {198, "ISLOGICAL", 1},
    {199, "DCOUNTA", 3}, {204, "USDOLLAR", -1}, {205, "FINDB", -1}, {206, "SEARCHB", -1},
    {207, "REPLACEB", 4}, {208, "LEFTB", -1}, {209, "RIGHTB", -1}, {210, "MIDB", 3},
    {211, "LENB", 1}, {212, "ROUNDUP", 2}, {213, "ROUNDDOWN", 2}, {214, "ASC", 1},
    {215, "DBCS", 1}, {216, "RANK", -1}, {219, "ADDRESS", -1}, {220, "DAYS360", -1},
    {221, "TODAY", 0}, {222, "VDB", -1}, {227, "MEDIAN", -1}, {228, "SUMPRODUCT", -1},
    {229, "SINH", 1}, {230, "COSH", 1}, {231, "TANH", 1}, {232, "ASINH", 1}, {233, "ACOSH", 1},
    {234, "ATANH", 1}, {235, "DGET", 3}, {244, "INFO", 1}, {247, "DB", -1}, {252, "FREQUENCY", 2},
    {261, "ERROR.TYPE", 1}, {269, "AVEDEV", -1}, {270, "BETADIST", -1}, {271, "GAMMALN", 1},
    {272, "BETAINV", -1}, {273, "BINOMDIST", 4}, {274, "CHIDIST", 2}, {275, "CHIINV", 2},
    {276, "COMBIN", 2}, {277, "CONFIDENCE", 3}, {278, "CRITBINOM", 3}, {279, "EVEN", 1},
    {280, "EXPONDIST", 3}, {281, "FDIST", 3}, {282, "FINV", 3}, {283, "FISHER", 1},
    {284, "FISHERINV", 1}, {285, "FLOOR", 2}, {286, "GAMMADIST", 4}, {287, "GAMMAINV", 3},
    {288, "CEILING", 2}, {289, "HYPGEOMDIST", 4}, {290, "LOGNORMDIST", 3}, {291, "LOGINV", 3},
    {292, "NEGBINOMDIST", 3}, {293, "NORMDIST", 4}, {294, "NORMSDIST", 1}, {295, "NORMINV", 3},
    {296, "NORMSINV", 1}, {297, "STANDARDIZE", 3}, {298, "ODD", 1}, {299, "PERMUT", 2},
    {300, "POISSON", 3}, {301, "TDIST", 3}, {302, "WEIBULL", 4}, {303, "SUMXMY2", 2},
    {304, "SUMX2MY2", 2}, {305, "SUMX2PY2", 2}, {306, "CHITEST", 2}, {307, "CORREL", 2},
    {308, "COVAR", 2}, {309, "FORECAST", 3}, {310, "FTEST", 2}, {311, "INTERCEPT", 2},
    {312, "PEARSON", 2}, {313, "RSQ", 2}, {314, "STEYX", 2}, {315, "SLOPE", 2}, {316, "TTEST", 4},
    {317, "PROB", -1}, {318, "DEVSQ", -1}, {319, "GEOMEAN", -1}, {320, "HARMEAN", -1},
    {321, "SUMSQ", -1}, {322, "KURT", -1}, {323, "SKEW", -1}, {324, "ZTEST", -1},
    {325, "LARGE", 2}, {326, "SMALL", 2}, {327, "QUARTILE", 2}, {328, "PERCENTILE", 2},
    {329, "PERCENTRANK", -1}, {330, "MODE", -1}, {331, "TRIMMEAN", 2}, {332, "TINV", 2},
    {336, "CONCATENATE", -1}, {337, "POWER", 2}, {342, "RADIANS", 1}, {343, "DEGREES", 1},
    {344, "SUBTOTAL", -1}, {345, "SUMIF", -1}, {346, "COUNTIF", 2}, {347, "COUNTBLANK", 1},
    {350, "ISPMT", 4}, {351, "DATEDIF", 3}, {352, "DATESTRING", 1}, {353, "NUMBERSTRING", 2},
    {354, "ROMAN", -1}, {358, "GETPIVOTDATA", 2}, {359, "HYPERLINK", -1}, {360, "PHONETIC", 1},
    {361, "AVERAGEA", -1}, {362, "MAXA", -1}, {363, "MINA", -1}, {364, "STDEVPA", -1},
    {365, "VARPA", -1}, {366, "STDEVA", -1}, {367, "VARA", -1}, {368, "BAHTTEXT", 1},
    {369, "THAIDAYOFWEEK", 1}, {370, "THAIDIGIT", 1}, {371, "THAIMONTHOFYEAR", 1},
    {372, "THAINUMSOUND", 1}, {373, "THAINUMSTRING", 1}, {374, "THAISTRINGLENGTH", 1},
    {375, "ISTHAIDIGIT", 1}, {376, "ROUNDBAHTDOWN", 1}, {377, "ROUNDBAHTUP", 1},
    {378, "THAIYEAR", 1}, {379, "RTD", -1},
};

constexpr size_t kTableSize = 512;

std::array<BuiltinFunction, kTableSize> BuildTable() {
  std::array<BuiltinFunction, kTableSize> table{};
  for (const Entry& e : kFunctions)
    if (e.number >= 0 && static_cast<size_t>(e.number) < kTableSize)
      table[static_cast<size_t>(e.number)] = {e.name, e.fixedArgs};
  return table;
}

}  // namespace

BuiltinFunction FunctionByNumber(int number) {
  static const std::array<BuiltinFunction, kTableSize> table = BuildTable();
  if (number < 0 || static_cast<size_t>(number) >= kTableSize) return {nullptr, -1};
  return table[static_cast<size_t>(number)];
}

}  // namespace ddt::grid::io::biff
