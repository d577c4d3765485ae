// CPrm: the parameter manager, the one owner of the workbooks loaded for a test.
//
// It keeps two lists: the loaded workbooks (input workbooks and results workbooks alike,
// results stored through their CDDTInput base; the head is the primary input workbook) and
// the external workbooks that a test script opened under an alias, so that a parameter
// reference "<alias@@sheet::name>" can name them. It keeps every loaded workbook in step
// when a business process is added, renamed or deleted, when a table or column is
// appended, and when the global-usage setting changes.
//
// Ownership: the manager owns every workbook in either list and every EXTERNAL_DATA record;
// UnloadWorkbook, ClearExternData and the destructor delete them. Workbooks made by the
// script functions open_workbook and open_results are not the manager's.
//
// Current manager: every constructor makes the new manager the process's current one
// (ddt::CurrentManager(), read by CDDTInput::GetPrmManager, the alias look-up of
// CDDTResults and the script functions). Destroying the current manager clears that
// reference, so a destroyed manager is never handed out.
//
// File names of loaded workbooks compare case-insensitively (UTF-8 aware); aliases compare
// exactly. Members run on the caller's thread, take no lock and are not safe for
// concurrent use.
#pragma once

#include <list>
#include <string>

#include "ddtable/export.h"
#include "ddtable/cddt_input.h"
#include "ddtable/cddt_results.h"
#include "ddtable/cdt.h"

// An external workbook opened under an alias. Owned by the manager that listed it.
struct EXTERNAL_DATA {
  CDDTResults* pWorkbook = nullptr;  // owned; null when the file existed but could not be read
  std::string strAlias;              // the name scripts use; matched case-sensitively
  std::string strFileName;           // the file name as given; matched case-insensitively
};

class DDT_API CPrm {
 public:
  // Both lists empty, global usage 0; every workbook the manager creates uses `type`.
  // Becomes the current manager.
  explicit CPrm(CDT::DT_TYPE type);
  // Deletes every loaded workbook (list order), then every external workbook and record.
  // Clears the current-manager reference when it points at this manager.
  virtual ~CPrm();
  CPrm(const CPrm&) = delete;
  CPrm& operator=(const CPrm&) = delete;

  // Stores the value and hands it to every loaded workbook in list order.
  void SetGlobalUsage(int usage);

  // The input workbook of that file: a loaded one whose file name matches (an empty name
  // never matches) is read again from its own file name (the given one may differ in letter
  // case, which on this file system names another file) and, when toFront is set, moved to
  // the head of the list;
  // otherwise a new one is opened and added at the head (toFront) or the tail. The engine's
  // InitView runs in both cases. Null for a null parent, or when creating or opening a new
  // workbook raised an error (it is then deleted). A file that cannot be read is not an
  // error: the workbook is returned empty.
  CDDTInput* LoadInputWorkbook(ddt::platform::Window* parent, const std::string& fileName,
                               int toFront);
  // As LoadInputWorkbook without the to-front flag, for a results workbook (run context
  // "1", "None", "Local"); a new one goes to the tail. Only results workbooks are searched:
  // a file loaded as an input workbook gets a results workbook of its own. Errors while
  // opening are absorbed and the listed workbook is returned. Null for a null parent.
  CDDTResults* LoadResultsWorkbook(ddt::platform::Window* parent, const std::string& fileName);
  // Deletes the workbook and removes it from the list when it is listed. Always 0.
  int UnloadWorkbook(CDDTInput* workbook);

  // Adds the sheet `name` to every loaded workbook and makes it current where it was
  // created (a workbook that has it already keeps its current sheet). 0; -1 when no
  // workbook is loaded.
  int NewBP(const std::string& name);
  // Renames the business process (and its child tables) in every loaded workbook. 0.
  int RenameBP(std::string oldName, std::string newName);
  // Deletes the business process (and its child tables) from `workbook`; when `workbook` is
  // the primary one (its file name matches the head's, which is not empty), first from every
  // other loaded workbook too. 0.
  int DeleteBP(CDDTInput* workbook, std::string name);

  // The record of an external workbook. A listed record whose file name matches (case-
  // insensitively; an empty name never matches) is returned as it is: its alias stays and
  // the new alias is not registered. Otherwise a new results workbook is made: a file that
  // exists is opened (relative names resolve against `directory` when it is not empty; the
  // process's current directory is restored after); when that open fails the record's
  // workbook is null; a missing file gives an empty, initialised workbook. The new record
  // is appended and returned. Null when creating or opening the workbook raised an error
  // (nothing is listed then). The manager owns the record.
  EXTERNAL_DATA* LoadExternalWorkbook(std::string alias, std::string fileName,
                                      std::string directory, ddt::platform::Window* parent);
  // Deletes every external workbook and record.
  void ClearExternData();
  // The workbook of the first record with exactly this alias; null when none matches or
  // its workbook is null.
  CDDTResults* GetExternWorkbook(std::string alias);

  // CDDTInput::AppendTableByName on every loaded workbook in list order, all with the
  // caller's tableName, so each sees the name the previous one left. 0.
  int AppendTableByName(const std::string& bpName, std::string& tableName);
  // The five-argument CDDTInput::AppendColumnByName on every loaded workbook with the
  // caller's paramName itself, so changes accumulate from workbook to workbook. 0.
  int AppendColumnByName(const std::string& bpName, const std::string& tableName,
                         std::string& paramName, const CStringList& values,
                         CDT::DT_STYLE style);
  // The four-argument form: every workbook receives paramName as the caller passed it; the
  // caller's string receives what the last workbook made of it (unchanged with no
  // workbook). 0.
  int AppendColumnByName(const std::string& sheetName, std::string& paramName,
                         const std::string& value, CDT::DT_STYLE style);

  // --- Fields ---------------------------------------------------------------------------
  std::list<EXTERNAL_DATA*> m_ExternList;  // in the order opened; records and workbooks owned
  std::list<CDDTInput*> m_WorkbookList;    // head = primary input workbook; owned
  int m_nGlobalUsage = 0;                  // last SetGlobalUsage value
  CDT::DT_TYPE m_nType;                    // binding of every workbook the manager creates
};
