// CPrm: loading, finding and unloading workbooks; keeping them in step; external workbooks.
#include "ddtable/prm.h"

#include <algorithm>
#include <memory>

#include "manager/module.h"
#include "platform/boundary.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/resources.h"
#include "results/extern_alias.h"
#include "table/engine_call.h"
#include "text/utf8.h"

using ddt::platform::Quoted;
using ddt::table::Guarded;

namespace {

// The run context a workbook loaded by the manager starts with.
std::string DefaultVirtualUserId() { return ddt::platform::LoadString(ddt::platform::IDS_VID_INITIAL); }
std::string DefaultGroup() { return ddt::platform::LoadString(ddt::platform::IDS_GROUP_INITIAL); }
std::string DefaultHost() { return ddt::platform::LoadString(ddt::platform::IDS_HOST_INITIAL); }

// File names of loaded workbooks: case-insensitive, multibyte characters whole. An empty
// given name never matches.
bool SameFile(const std::string& given, const std::string& loaded) {
  return !given.empty() && ddt::text::utf8::CompareNoCase(given, loaded) == 0;
}

// Reads a workbook found again from its file. The name it was found by may differ in letter
// case, which names another file (or none) on a case-sensitive file system: the workbook's
// own name is the one that reads the same file, and it stays the name the workbook saves to.
void Reopen(CDDTInput& workbook) {
  workbook.Open(workbook.GetFileName());
  workbook.m_pEngine->InitView();
}

// Puts what could not be added to a loaded workbook in front of the reason the workbook gave.
void NoteCannotAdd(const std::string& what, CDDTInput& workbook) {
  ddt::platform::PrefixLastError("Cannot add " + what + " to " + Quoted(workbook.GetFileName()) +
                                 ": ");
}

// External aliases in parameter references resolve through the current manager.
CDDTResults* FindThroughCurrentManager(const std::string& alias) {
  CPrm* manager = ddt::CurrentManager();
  return manager == nullptr ? nullptr : manager->GetExternWorkbook(alias);
}

}  // namespace

CPrm::CPrm(CDT::DT_TYPE type) : m_nType(type) {
  ddt::SetCurrentManager(this);
  ddt::results::SetExternWorkbookLookup(&FindThroughCurrentManager);
}

CPrm::~CPrm() {
  for (CDDTInput* workbook : m_WorkbookList) delete workbook;
  m_WorkbookList.clear();
  ClearExternData();
  if (ddt::CurrentManager() == this) ddt::SetCurrentManager(nullptr);
}

void CPrm::SetGlobalUsage(int usage) try {
  const ddt::platform::MemberScope boundary;
  m_nGlobalUsage = usage;
  for (CDDTInput* workbook : m_WorkbookList) workbook->SetGlobalUsage(usage);
} catch (...) {
  ddt::platform::Failed();
}

CDDTInput* CPrm::LoadInputWorkbook(ddt::platform::Window* parent, const std::string& fileName,
                                   int toFront) try {
  const ddt::platform::MemberScope boundary;
  if (parent == nullptr) return nullptr;
  for (auto it = m_WorkbookList.begin(); it != m_WorkbookList.end(); ++it) {
    CDDTInput* workbook = *it;
    if (!SameFile(fileName, workbook->GetFileName())) continue;
    if (toFront != 0) m_WorkbookList.splice(m_WorkbookList.begin(), m_WorkbookList, it);
    Reopen(*workbook);
    return workbook;
  }
  // On an error the half-made workbook is deleted by the unique_ptr.
  auto workbook = std::make_unique<CDDTInput>(parent, m_nType);
  workbook->Open(fileName);
  workbook->SetGlobalUsage(m_nGlobalUsage);
  CDDTInput* loaded = workbook.release();
  if (toFront != 0) {
    m_WorkbookList.push_front(loaded);
  } else {
    m_WorkbookList.push_back(loaded);
  }
  loaded->m_pEngine->InitView();
  return loaded;
} catch (...) {
  return ddt::platform::Failed<CDDTInput*>(nullptr);
}

CDDTResults* CPrm::LoadResultsWorkbook(ddt::platform::Window* parent,
                                       const std::string& fileName) try {
  const ddt::platform::MemberScope boundary;
  if (parent == nullptr) return nullptr;
  // Only results workbooks are candidates: an input workbook of the same file is not a
  // results workbook and must not be handed out as one.
  for (CDDTInput* listed : m_WorkbookList) {
    auto* workbook = dynamic_cast<CDDTResults*>(listed);
    if (workbook == nullptr || !SameFile(fileName, workbook->GetFileName())) continue;
    try {
      Reopen(*workbook);
    } catch (...) {
    }
    return workbook;
  }
  auto* workbook = new CDDTResults(parent, m_nType, DefaultVirtualUserId(), DefaultGroup(),
                                   DefaultHost());
  m_WorkbookList.push_back(workbook);
  try {
    workbook->Open(fileName);
    workbook->SetGlobalUsage(m_nGlobalUsage);
    workbook->m_pEngine->InitView();
  } catch (...) {
    // Kept: the workbook is listed and returned as it stands.
  }
  return workbook;
} catch (...) {
  return ddt::platform::Failed<CDDTResults*>(nullptr);
}

int CPrm::UnloadWorkbook(CDDTInput* workbook) try {
  const ddt::platform::MemberScope boundary;
  auto it = std::find(m_WorkbookList.begin(), m_WorkbookList.end(), workbook);
  if (it != m_WorkbookList.end()) {
    m_WorkbookList.erase(it);
    delete workbook;
  }
  return 0;
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CPrm::NewBP(const std::string& name) try {
  const ddt::platform::MemberScope boundary;
  if (m_WorkbookList.empty()) {
    ddt::platform::SetLastError("Cannot add business process " + Quoted(name) +
                                ": no workbook is loaded");
    return -1;
  }
  return Guarded(-1, [&] {
    int result = 0;
    for (CDDTInput* workbook : m_WorkbookList) {
      if (workbook->NewSheet(name) == 0) {
        workbook->SetSheet(name);
      } else if (workbook->GetSheetIndex(name) == 0) {
        // The sheet limit or a name no file can hold: this workbook lacks the process.
        NoteCannotAdd("business process " + Quoted(name), *workbook);
        result = -1;
      }
    }
    return result;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CPrm::RenameBP(std::string oldName, std::string newName) try {
  const ddt::platform::MemberScope boundary;
  return Guarded(-1, [&] {
    for (CDDTInput* workbook : m_WorkbookList) workbook->RenameBP(oldName, newName);
    return 0;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CPrm::DeleteBP(CDDTInput* workbook, std::string name) try {
  const ddt::platform::MemberScope boundary;
  if (m_WorkbookList.empty() || workbook == nullptr) return 0;
  return Guarded(-1, [&] {
    const std::string headFile = m_WorkbookList.front()->GetFileName();
    if (SameFile(headFile, workbook->GetFileName())) {
      for (auto it = std::next(m_WorkbookList.begin()); it != m_WorkbookList.end(); ++it)
        (*it)->DeleteBP(name);
    }
    workbook->DeleteBP(name);
    return 0;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}

EXTERNAL_DATA* CPrm::LoadExternalWorkbook(std::string alias, std::string fileName,
                                          std::string directory,
                                          ddt::platform::Window* parent) try {
  const ddt::platform::MemberScope boundary;
  for (EXTERNAL_DATA* record : m_ExternList)
    if (SameFile(fileName, record->strFileName)) return record;

  auto record = std::make_unique<EXTERNAL_DATA>();
  std::unique_ptr<CDDTResults> workbook;
  std::string savedDirectory;
  const bool changeDirectory = !directory.empty();
  try {
    workbook = std::make_unique<CDDTResults>(parent, m_nType, DefaultVirtualUserId(),
                                             DefaultGroup(), DefaultHost());
    if (changeDirectory) {
      savedDirectory = ddt::platform::GetCurrentDirectory();
      ddt::platform::SetCurrentDirectory(directory);
    }
    if (ddt::platform::FileExists(fileName)) {
      if (workbook->Open(fileName) != 0) workbook.reset();
    } else {
      workbook->m_pEngine->InitView();
    }
  } catch (...) {
    if (changeDirectory && !savedDirectory.empty())
      ddt::platform::SetCurrentDirectory(savedDirectory);
    return nullptr;
  }
  if (changeDirectory && !savedDirectory.empty())
    ddt::platform::SetCurrentDirectory(savedDirectory);

  record->pWorkbook = workbook.release();
  record->strAlias = std::move(alias);
  record->strFileName = std::move(fileName);
  m_ExternList.push_back(record.get());
  return record.release();
} catch (...) {
  return ddt::platform::Failed<EXTERNAL_DATA*>(nullptr);
}

void CPrm::ClearExternData() try {
  const ddt::platform::MemberScope boundary;
  for (EXTERNAL_DATA* record : m_ExternList) {
    delete record->pWorkbook;
    delete record;
  }
  m_ExternList.clear();
} catch (...) {
  ddt::platform::Failed();
}

CDDTResults* CPrm::GetExternWorkbook(std::string alias) try {
  const ddt::platform::LookupScope boundary;
  for (EXTERNAL_DATA* record : m_ExternList)
    if (record->strAlias == alias) return record->pWorkbook;
  return nullptr;
} catch (...) {
  return ddt::platform::Failed<CDDTResults*>(nullptr);
}

int CPrm::AppendTableByName(const std::string& bpName, std::string& tableName) try {
  const ddt::platform::MemberScope boundary;
  return Guarded(-1, [&] {
    int result = 0;
    for (CDDTInput* workbook : m_WorkbookList) {
      const long sheets = workbook->GetNumSheets();
      workbook->AppendTableByName(bpName, tableName);
      if (workbook->GetNumSheets() <= sheets &&
          workbook->GetSheetIndex(bpName + "." + tableName) == 0) {
        NoteCannotAdd("table " + Quoted(tableName), *workbook);
        result = -1;
      }
    }
    return result;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CPrm::AppendColumnByName(const std::string& bpName, const std::string& tableName,
                             std::string& paramName, const CStringList& values,
                             CDT::DT_STYLE style) try {
  const ddt::platform::MemberScope boundary;
  return Guarded(-1, [&] {
    int result = 0;
    for (CDDTInput* workbook : m_WorkbookList)
      if (workbook->AppendColumnByName(bpName, tableName, paramName, values, style) != 0 &&
          workbook->GetSheetIndex(bpName + "." + tableName) != 0)
        result = -1;  // the table is there but did not take the column (a limit)
    return result;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}

int CPrm::AppendColumnByName(const std::string& sheetName, std::string& paramName,
                             const std::string& value, CDT::DT_STYLE style) try {
  const ddt::platform::MemberScope boundary;
  return Guarded(-1, [&] {
    std::string name = paramName;
    int result = 0;
    for (CDDTInput* workbook : m_WorkbookList) {
      name = paramName;
      const CStringList* header = workbook->GetHeaderList(sheetName);
      const std::size_t columns = header == nullptr ? 0 : header->size();
      workbook->AppendColumnByName(sheetName, name, value, style);
      header = workbook->GetHeaderList(sheetName);
      if (header != nullptr && header->size() <= columns)
        result = -1;  // the sheet did not take the column (a limit, or no legal name)
    }
    paramName = name;
    return result;
  });
} catch (...) {
  return ddt::platform::Failed(-1);
}
