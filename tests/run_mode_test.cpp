#include <gtest/gtest.h>

#include "app/run_mode.h"

TEST(RunMode, AutoInAnyLetterCaseSelectsAutomatic) {
  for (const wchar_t* tail : {L"/auto", L"/AUTO", L"/Auto", L"/aUtO"}) {
    EXPECT_EQ(SelectRunMode(tail), RunMode::kAutomatic) << tail;
  }
}

TEST(RunMode, AnythingElseSelectsTheMainWindow) {
  for (const wchar_t* tail :
       {L"", L"/auto ", L" /auto", L"-auto", L"auto", L"/auto /x", L"/autox", L"/aut"}) {
    EXPECT_EQ(SelectRunMode(tail), RunMode::kInteractive) << tail;
  }
}
