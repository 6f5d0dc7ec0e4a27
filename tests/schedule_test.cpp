// Whole days to the next automatic clean, around the one-day boundary.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/platform.h"
#include "support/registry_sandbox.h"

namespace {

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kHour = 3600 * kTicksPerSecond;
constexpr uint64_t kDay = 24 * kHour;

// A fixed "now" in the middle of a year (2024-06-15 12:00 UTC), away from any
// daylight-saving change in the days around it.
constexpr uint64_t kNow = (1718452800ULL + 11644473600ULL) * kTicksPerSecond;

class Schedule : public RegistryTest {
 protected:
  static void SetLastClean(uint64_t filetime) {
    CtrackscrubApp::SetRegDWORD(kValueLastCleanHigh, static_cast<uint32_t>(filetime >> 32));
    CtrackscrubApp::SetRegDWORD(kValueLastCleanLow, static_cast<uint32_t>(filetime));
  }
};

}  // namespace

TEST_F(Schedule, DefaultsAreTwoWeeks) {
  SetLastClean(kNow - 7 * kDay - kHour);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 6);
}

TEST_F(Schedule, DueOneWholeDayAgoIsOverdue) {
  SetLastClean(kNow - 15 * kDay);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), -1);
}

TEST_F(Schedule, DueLessThanADayAgoIsNotYetOverdue) {
  SetLastClean(kNow - 14 * kDay - kHour);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 0);
  SetLastClean(kNow - 15 * kDay + kTicksPerSecond);  // due 86,399 s ago
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 0);
}

TEST_F(Schedule, DailyCleanAnHourAgo) {
  CtrackscrubApp::SetRegDWORD(kValueCleanPeriod, kPeriodDay);
  CtrackscrubApp::SetRegDWORD(kValueCleanFrequency, 1);
  SetLastClean(kNow - kHour);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 0);
}

TEST_F(Schedule, MonthsAreThirtyOneDays) {
  CtrackscrubApp::SetRegDWORD(kValueCleanPeriod, kPeriodMonth);
  CtrackscrubApp::SetRegDWORD(kValueCleanFrequency, 3);
  SetLastClean(kNow);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 93);
}

TEST_F(Schedule, ChangingTheIntervalMovesTheDueTimeAtOnce) {
  SetLastClean(kNow - 10 * kDay);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 4);
  CtrackscrubApp::SetRegDWORD(kValueCleanFrequency, 1);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), -3);
}

TEST_F(Schedule, RecordCleanStoresNow) {
  const uint64_t before = platform::GetSystemTimeAsFileTime();
  CtrackscrubApp::RecordClean();
  const uint64_t after = platform::GetSystemTimeAsFileTime();
  const uint64_t stored =
      static_cast<uint64_t>(CtrackscrubApp::GetRegDWORD(kValueLastCleanHigh, 0)) << 32 |
      CtrackscrubApp::GetRegDWORD(kValueLastCleanLow, 0);
  EXPECT_GE(stored, before);
  EXPECT_LE(stored, after);
  EXPECT_TRUE(CtrackscrubApp::HasRecordedClean());
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(after + kHour), 13);
}

TEST_F(Schedule, NoRecordedCleanIsOverdue) {
  EXPECT_FALSE(CtrackscrubApp::HasRecordedClean());
  EXPECT_LT(CtrackscrubApp::GetDaysToNextClean(kNow), 0);
}

TEST_F(Schedule, UnconvertibleTimeGivesZero) {
  SetLastClean(0x8000000000000000ULL);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 0);
}

TEST_F(Schedule, IntervalIsASigned32BitProduct) {
  // 30 x 2^31 wraps; whatever it wraps to, the computation stays defined.
  CtrackscrubApp::SetRegDWORD(kValueCleanFrequency, 2);
  CtrackscrubApp::SetRegDWORD(kValueCleanPeriod, 0x80000000u);
  SetLastClean(kNow);
  EXPECT_EQ(CtrackscrubApp::GetDaysToNextClean(kNow), 0);  // 2 x 2^31 wraps to 0
}
