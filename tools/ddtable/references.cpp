#include "references.h"

#include "ddtable/param_name.h"
#include "ddtable/cdt.h"

namespace ddtcli {

ReferenceScope::ReferenceScope(CDT& book, std::string bp, std::string child)
    : book_(book), bp_(std::move(bp)), child_(std::move(child)) {}

bool ReferenceScope::Has(const std::string& sheet, const std::string& name) const {
  const long index = book_.GetSheetIndex(sheet);
  return index > 0 && book_.ParamExists(name, index) != 0;
}

std::string ReferenceScope::Resolve(const std::string& reference) const {
  CParamName ref(reference.c_str());
  if (!ref.IsParam() || ref.GetName().empty()) return "";
  if (!ref.GetExternAlias().empty()) return reference;
  if (ref.GetSheet().empty() && !child_.empty() && Has(bp_ + "." + child_, ref.GetName()))
    return "<" + child_ + "::" + ref.GetName() + ">";
  return Has(ref.GetFullSheet(bp_), ref.GetName()) ? reference : "";
}

std::string ReferenceScope::Qualify(const std::string& text, std::vector<std::string>& unresolved) const {
  return Replace(text, unresolved, [](const std::string& resolved) { return resolved; });
}

std::string ReferenceScope::Replace(const std::string& text, std::vector<std::string>& unresolved,
                                    const std::function<std::string(const std::string&)>& replace) const {
  std::string out;
  std::size_t from = 0;
  std::size_t at = 0;
  while ((at = text.find('<', at)) != std::string::npos) {
    const std::size_t end = text.find('>', at);
    if (end == std::string::npos) break;
    const std::string token = text.substr(at, end - at + 1);
    const std::string resolved = Resolve(token);
    if (resolved.empty()) unresolved.push_back(token);
    out.append(text, from, at - from);
    out += resolved.empty() ? token : replace(resolved);
    from = at = end + 1;
  }
  out.append(text, from, std::string::npos);
  return out;
}

std::string UnresolvedMessage(const std::string& where, const std::vector<std::string>& refs) {
  std::string list;
  for (std::size_t i = 0; i < refs.size(); ++i) {
    if (i > 0) list += i + 1 == refs.size() ? " and " : ", ";
    list += refs[i];
  }
  return where + ": " + list + (refs.size() == 1 ? " names" : " name") + " no parameter";
}

std::string EscapePattern(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '*' || c == '?' || c == '[' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace ddtcli
