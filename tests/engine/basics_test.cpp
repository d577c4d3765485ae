// Column letters and the interface's own fields.
#include <gtest/gtest.h>

#include <climits>

#include "engine/book_access.h"
#include "ddtable/dt_f1.h"
#include "engine_test_util.h"
#include "text/column_letters.h"

using ddt::text::ColumnLetters;

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
  EXPECT_NE(ddt::engine::BookAccess::Of(&target), ddt::engine::BookAccess::Of(&source));
}
