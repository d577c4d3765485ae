// A cell's value: what a constant cell holds and what a formula evaluates to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "grid/shared_text.h"

namespace ddt::grid {

// Spreadsheet error values, numbered as ERROR.TYPE gives them: 1 to 7, then the errors of
// dynamic arrays (a spill range in the way: 9; an empty array result: 14).
enum class ErrorCode : uint8_t { Null = 1, Div0, Value, Ref, Name, Num, NA, Spill = 9, Calc = 14 };

// "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A", "#SPILL!", "#CALC!".
const char* ErrorText(ErrorCode code);
// The error literal as typed (case-insensitive), or nothing.
std::optional<ErrorCode> ParseErrorText(std::string_view text);

struct Empty {
  bool operator==(const Empty&) const = default;
};

// Alternatives in this order: empty, number, text, boolean, error.
using Value = std::variant<Empty, double, SharedText, bool, ErrorCode>;

inline bool IsEmpty(const Value& v) { return std::holds_alternative<Empty>(v); }
inline bool IsNumber(const Value& v) { return std::holds_alternative<double>(v); }
inline bool IsText(const Value& v) { return std::holds_alternative<SharedText>(v); }
inline bool IsBoolean(const Value& v) { return std::holds_alternative<bool>(v); }
inline bool IsError(const Value& v) { return std::holds_alternative<ErrorCode>(v); }
// The text of a text value.
inline std::string_view TextOf(const Value& v) { return std::get<SharedText>(v).view(); }

}  // namespace ddt::grid
