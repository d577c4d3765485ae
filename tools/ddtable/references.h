// Parameter references ("<Name>", "<Table::Name>", "<alias@@Name>") in the texts a run
// substitutes: the command's arguments, --env, --output-file, --expect and expected-value
// cells. A reference runs from a "<" to the first ">" after it; nothing escapes a "<".
//
// The command resolves every reference before a row runs, so a reference that names no
// parameter makes the row an error instead of reaching the command as literal text.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CDT;

namespace ddtcli {

// Resolves references for one business process, and with --each for one of its child tables.
// Inside a child table an unqualified name is the child's parameter when the child has it,
// else the business process's.
class ReferenceScope {
 public:
  ReferenceScope(CDT& book, std::string bp, std::string child);

  // The reference as the library should read it ("<Qty>" becomes "<Items::Qty>" when the
  // child has Qty), or "" when it names no parameter. A reference through a workbook alias
  // is kept as written: aliases are resolved by the host's manager, not here.
  std::string Resolve(const std::string& reference) const;
  // Rewrites every reference of the text with Resolve; the references that name nothing are
  // added to `unresolved` and left as written.
  std::string Qualify(const std::string& text, std::vector<std::string>& unresolved) const;
  // The text with every reference replaced by replace(its resolved form); the references that
  // name nothing are added to `unresolved` and left as written.
  std::string Replace(const std::string& text, std::vector<std::string>& unresolved,
                      const std::function<std::string(const std::string&)>& replace) const;

 private:
  bool Has(const std::string& sheet, const std::string& name) const;

  CDT& book_;
  std::string bp_, child_;
};

// "<A> names no parameter" / "<A> and <B> name no parameter", with where they were written.
std::string UnresolvedMessage(const std::string& where, const std::vector<std::string>& refs);

// Text made literal for a pattern: "*", "?", "[" and "\" get a backslash.
std::string EscapePattern(const std::string& text);

}  // namespace ddtcli
