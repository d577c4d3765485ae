// CParamName: a parameter reference as a test script writes it, taken apart.
//
// Written form: "<" alias "@@" sheet "::" name ">", where the brackets, the alias part and
// the sheet part are each optional and always come in that order. A leading "<" marks the
// text as a parameter; a trailing ">" is dropped either way. The first "@@" ends the alias,
// the first "::" after it ends the sheet, and the rest (which may hold further "@@" or "::")
// is the name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ddtable/export.h"

class DDT_API CParamName {
 public:
  explicit CParamName(const char* text);
  // Builds a reference from its parts; it does not count as written in angle brackets.
  CParamName(std::string alias, std::string sheet, std::string name);
  CParamName(const CParamName& other) = default;
  CParamName& operator=(const CParamName& other) = default;
  virtual ~CParamName();

  // Parses the written form into the parts; a null text counts as empty.
  void SetParamName(const char* text);

  std::string GetName() const { return m_strName; }
  std::string GetSheet() const { return m_strSheet; }
  std::string GetExternAlias() const { return m_strAlias; }
  int IsParam() const { return m_bParam; }

  // The written form without brackets: "alias@@" and "sheet::" where present, then the name.
  std::string GetFullName() const;
  // "<" + GetFullName() + ">", or "" when the name is empty.
  std::string GetText() const;
  // The sheet to read the parameter from when `scope` is the current business process: the
  // scope itself without a sheet part; the sheet part as written for an external workbook or
  // the "Custom" sheet (any case); otherwise the child table scope + "." + sheet.
  std::string GetFullSheet(std::string scope) const;

  // Every reference written in `text`, in order, brackets included: each "<" up to the next
  // ">" (an unclosed "<" ends the search). The same scan finds the references a substitution
  // replaces.
  static std::vector<std::string> FindAll(std::string_view text);

 private:
  int m_bParam = 0;
  std::string m_strAlias;
  std::string m_strName;
  std::string m_strSheet;
};
