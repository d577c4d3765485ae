// The registry of formula functions, built once from every group's Register* function.
#include <string>

#include "grid/formula/functions.h"

namespace ddt::grid::formula {

namespace {

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

// Prefixes that files put before functions newer than the original file format.
constexpr std::string_view kPrefixes[] = {"_XLFN.", "_XLWS."};

}  // namespace

void FunctionRegistry::Add(const FunctionSpec& spec) {
  byName_[UpperAscii(spec.name)] = spec;
}

const FunctionSpec* FunctionRegistry::Find(std::string_view name) const {
  std::string key = UpperAscii(name);
  for (std::string_view prefix : kPrefixes) {
    while (key.size() > prefix.size() && std::string_view(key).substr(0, prefix.size()) == prefix)
      key.erase(0, prefix.size());
  }
  auto it = byName_.find(key);
  return it == byName_.end() ? nullptr : &it->second;
}

void FunctionRegistry::ForEach(const std::function<void(const FunctionSpec&)>& fn) const {
  for (const auto& [name, spec] : byName_) fn(spec);
}

const FunctionRegistry& Functions() {
  static const FunctionRegistry registry = [] {
    FunctionRegistry r;
    RegisterMathFunctions(r);
    RegisterLogicalFunctions(r);
    RegisterInformationFunctions(r);
    RegisterReferenceFunctions(r);
    RegisterTextFunctions(r);
    RegisterLookupFunctions(r);
    RegisterDateTimeFunctions(r);
    RegisterAggregateFunctions(r);
    RegisterTrigFunctions(r);
    RegisterEngineeringFunctions(r);
    RegisterDescriptiveStatisticsFunctions(r);
    RegisterFinancialFunctions(r);
    RegisterDistributionFunctions(r);
    RegisterComplexFunctions(r);
    RegisterDatabaseFunctions(r);
    RegisterArrayFunctions(r);
    RegisterCompatFunctions(r);
    return r;
  }();
  return registry;
}

}  // namespace ddt::grid::formula
