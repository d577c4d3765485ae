// Column letters, kind translation and the interface's own fields.
#include <gtest/gtest.h>

#include <climits>

#include "engine/column_letters.h"
#include "engine/dt_f1.h"
#include "engine/kinds.h"
#include "engine_test_util.h"

using ddt::engine::ClearKind;
using ddt::engine::ColumnLetters;
using ddt::engine::ShiftKind;
using ddt::grid::Clear;
using ddt::grid::Shift;

TEST(ColumnLetters, OneTwoAndThreeLetters) {
  EXPECT_EQ(ColumnLetters(1), "A");
  EXPECT_EQ(ColumnLetters(26), "Z");
  EXPECT_EQ(ColumnLetters(27), "AA");
  EXPECT_EQ(ColumnLetters(52), "AZ");
  EXPECT_EQ(ColumnLetters(53), "BA");
  EXPECT_EQ(ColumnLetters(255), "IU");
  EXPECT_EQ(ColumnLetters(702), "ZZ");
  EXPECT_EQ(ColumnLetters(703), "AAA");
  EXPECT_EQ(ColumnLetters(16384), "XFD");
}

TEST(ColumnLetters, NoLettersBelowColumnOne) {
  EXPECT_EQ(ColumnLetters(0), "");
  EXPECT_EQ(ColumnLetters(-1), "");
  EXPECT_EQ(ColumnLetters(INT_MIN), "");
}

TEST(Kinds, ClearKindsByMeaning) {
  EXPECT_EQ(ClearKind(CDT_IF::DT_CLEAR_ALL), Clear::All);
  EXPECT_EQ(ClearKind(CDT_IF::DT_CLEAR_VALUES), Clear::Values);
  EXPECT_EQ(ClearKind(CDT_IF::DT_CLEAR_FORMATS), Clear::Formats);
  for (int other : {-1, 3, 4, 100, INT_MAX, INT_MIN}) EXPECT_FALSE(ClearKind(other)) << other;
}

TEST(Kinds, ShiftKindsByMeaning) {
  EXPECT_EQ(ShiftKind(CDT_IF::DT_SHIFT_HORIZONTAL), Shift::CellsHorizontal);
  EXPECT_EQ(ShiftKind(CDT_IF::DT_SHIFT_VERTICAL), Shift::CellsVertical);
  EXPECT_EQ(ShiftKind(CDT_IF::DT_SHIFT_ROWS), Shift::Rows);
  EXPECT_EQ(ShiftKind(CDT_IF::DT_SHIFT_COLUMNS), Shift::Columns);
  for (int other : {-1, 4, 5, INT_MAX, INT_MIN}) EXPECT_FALSE(ShiftKind(other)) << other;
}

TEST(EngineInterface, CopyAndAssignmentCopyTheThreeFields) {
  engine_test::ParentWindow parent;
  CDT_F1 source(&parent);
  source.m_bInternalChange = 1;
  source.m_bChanged = 1;
  source.m_nFileFormat = 13;

  CDT_F1 target(&parent);
  CDT_IF& base = target;
  base = source;
  EXPECT_EQ(target.m_bInternalChange, 1);
  EXPECT_EQ(target.m_bChanged, 1);
  EXPECT_EQ(target.GetFileFormat(), 13);
  // The engines themselves stay apart: each keeps its own workbook.
  EXPECT_NE(target.GetBook(), source.GetBook());
}

TEST(EngineInterface, FieldsStartCleared) {
  engine_test::ParentWindow parent;
  CDT_F1 f1(&parent);
  CDT_QX qx(&parent);
  for (CDT_IF* engine : {static_cast<CDT_IF*>(&f1), static_cast<CDT_IF*>(&qx)}) {
    EXPECT_EQ(engine->m_bInternalChange, 0);
    EXPECT_EQ(engine->m_bChanged, 0);
    EXPECT_EQ(engine->GetFileFormat(), 0);
  }
}
