#include "text/date_serial.h"

#include <gtest/gtest.h>

namespace ddt::text {
namespace {

TEST(DateSerial, System1900KeepsTheFictitiousLeapDay) {
  EXPECT_EQ(SerialToDate(0, false), (CivilDate{1900, 1, 0}));
  EXPECT_EQ(SerialToDate(1, false), (CivilDate{1900, 1, 1}));
  EXPECT_EQ(SerialToDate(59, false), (CivilDate{1900, 2, 28}));
  EXPECT_EQ(SerialToDate(60, false), (CivilDate{1900, 2, 29}));
  EXPECT_EQ(SerialToDate(61, false), (CivilDate{1900, 3, 1}));
  EXPECT_EQ(SerialToDate(36526, false), (CivilDate{2000, 1, 1}));
  EXPECT_EQ(SerialToDate(45000, false), (CivilDate{2023, 3, 15}));
  EXPECT_EQ(SerialToDate(2958465, false), (CivilDate{9999, 12, 31}));
  EXPECT_FALSE(SerialToDate(2958466, false));
  EXPECT_FALSE(SerialToDate(-1, false));
}

TEST(DateSerial, System1904StartsIn1904) {
  EXPECT_EQ(SerialToDate(0, true), (CivilDate{1904, 1, 1}));
  EXPECT_EQ(SerialToDate(36526 - 1462, true), (CivilDate{2000, 1, 1}));
  EXPECT_EQ(MaxSerial(true), 2957003);
  EXPECT_EQ(MaxSerial(false), 2958465);
  EXPECT_EQ(SerialToDate(2957003, true), (CivilDate{9999, 12, 31}));
  EXPECT_EQ(DateToSerial(1904, 1, 1, true), 0);
  EXPECT_FALSE(DateToSerial(1903, 12, 31, true));
}

TEST(DateSerial, DateToSerialRollsOverLikeDate) {
  EXPECT_EQ(DateToSerial(1900, 1, 1, false), 1);
  EXPECT_EQ(DateToSerial(1900, 2, 29, false), 60);
  EXPECT_EQ(DateToSerial(1900, 3, 0, false), 60);
  EXPECT_EQ(DateToSerial(1900, 3, 1, false), 61);
  EXPECT_EQ(DateToSerial(1900, 1, 0, false), 0);
  EXPECT_EQ(DateToSerial(2023, 14, 1, false), DateToSerial(2024, 2, 1, false));
  EXPECT_EQ(DateToSerial(2024, 0, 1, false), DateToSerial(2023, 12, 1, false));
  EXPECT_EQ(DateToSerial(2024, -13, 1, false), DateToSerial(2022, 11, 1, false));
  EXPECT_EQ(DateToSerial(2024, 3, 0, false), DateToSerial(2024, 2, 29, false));
  EXPECT_EQ(DateToSerial(2023, 1, 365, false), DateToSerial(2023, 12, 31, false));
  EXPECT_EQ(DateToSerial(9999, 12, 31, false), 2958465);
  EXPECT_FALSE(DateToSerial(9999, 12, 32, false));
  EXPECT_FALSE(DateToSerial(1899, 12, 30, false));
  EXPECT_FALSE(DateToSerial(2000000000, 1, 1, false));
  EXPECT_FALSE(DateToSerial(2000, -2000000000, 1, false));
}

TEST(DateSerial, RoundTripEveryDay) {
  for (bool d1904 : {false, true}) {
    for (int64_t s = 0; s <= MaxSerial(d1904); s += (s < 100 ? 1 : 997)) {
      auto d = SerialToDate(s, d1904);
      ASSERT_TRUE(d);
      if (!d1904 && s == 0) continue;  // 1900-01-00 has no (y, m, d) with day >= 1
      EXPECT_EQ(DateToSerial(d->year, d->month, d->day, d1904), s) << s;
    }
  }
}

TEST(DateSerial, Weekdays) {
  EXPECT_EQ(Weekday(1, false), 0);   // 1900-01-01 is a Sunday in the 1900 system
  EXPECT_EQ(Weekday(0, false), 6);
  EXPECT_EQ(Weekday(60, false), 3);  // the fictitious day
  EXPECT_EQ(Weekday(61, false), 4);  // 1900-03-01, a Thursday
  EXPECT_EQ(Weekday(45000, false), 3);  // 2023-03-15, a Wednesday
  EXPECT_EQ(Weekday(0, true), 5);       // 1904-01-01, a Friday
  EXPECT_EQ(Weekday(45000 - 1462, true), 3);
  EXPECT_EQ(Weekday(-1, false), 5);
}

TEST(DateSerial, SplitSerialRoundsAndCarries) {
  SerialParts p = SplitSerial(45000.75, 0);
  EXPECT_EQ(p.day, 45000);
  EXPECT_EQ(p.hour, 18);
  EXPECT_EQ(p.minute, 0);
  p = SplitSerial(0.5 + 1.4 / 86400, 0);
  EXPECT_EQ(p.second, 1);
  p = SplitSerial(0.5 + 1.6 / 86400, 0);
  EXPECT_EQ(p.second, 2);
  p = SplitSerial(0.5 + 1.2346 / 86400, 3);
  EXPECT_EQ(p.second, 1);
  EXPECT_EQ(p.millisecond, 235);
  p = SplitSerial(0.5 + 1.26 / 86400, 1);
  EXPECT_EQ(p.millisecond, 300);
  p = SplitSerial(1.0 - 0.2 / 86400, 0);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour, 0);
  p = SplitSerial(-0.25, 0);
  EXPECT_EQ(p.day, -1);
  EXPECT_EQ(p.hour, 18);
  EXPECT_DOUBLE_EQ(TimeToSerial(12, 30, 0), 0.5 + 30.0 / 1440);
}

}  // namespace
}  // namespace ddt::text
