// The console front end's line of progress: what it draws when, and that output
// read by programs never carries it.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "cli/cli.h"
#include "cli/progress.h"
#include "platform/platform.h"
#include "support/registry_sandbox.h"
#include "support/temp_tree.h"

namespace {

using std::chrono::milliseconds;

constexpr char kIECookies[] = "Scanning Internet Explorer cookies: 0 found so far";
constexpr char kFirefox[] = "Scanning Firefox cookies: 7 found so far";
constexpr char kEdge[] = "Scanning Microsoft Edge local-storage: 12 found so far";
constexpr char kFlash[] = "Scanning Flash objects: 12 found so far";

std::string Blanks(const char* longer, const char* shorter) {
  return std::string(std::string(longer).size() - std::string(shorter).size(), ' ');
}

std::string Erased(const char* text) {
  return "\r" + std::string(std::string(text).size(), ' ') + "\r";
}

}  // namespace

TEST(ProgressLine, DrawsTheLatestTextAfterTheFirstSecondAndErasesIt) {
  // At a time from the start: what the sequence tells, if anything, then a tick.
  struct Step {
    int at_ms;
    std::optional<SequenceProgress> told;
  };
  const struct {
    const char* name;
    ProgressKind kind;
    std::vector<Step> steps;
    std::string drawn;
  } cases[] = {
      {"a run under a second shows nothing",
       ProgressKind::kScan,
       {{0, SequenceProgress{Browser::kIE, "cookies", 0}}, {999, SequenceProgress{Browser::kFirefox, "cookies", 7}}},
       ""},
      {"nothing told, nothing shown", ProgressKind::kScan, {{1500, std::nullopt}}, ""},
      {"after a second the latest store shows, once",
       ProgressKind::kScan,
       {{0, SequenceProgress{Browser::kIE, "cookies", 0}},
        {500, SequenceProgress{Browser::kFirefox, "cookies", 7}},
        {1000, std::nullopt},
        {1100, std::nullopt}},
       std::string("\r") + kFirefox + Erased(kFirefox)},
      {"a shorter text blanks what is left of the longer one",
       ProgressKind::kScan,
       {{1000, SequenceProgress{Browser::kEdge, "local-storage", 12}},
        {1100, SequenceProgress{Browser::kFlash, "objects", 12}}},
       std::string("\r") + kEdge + "\r" + kFlash + Blanks(kEdge, kFlash) + Erased(kFlash)},
      {"a longer text needs no blanks",
       ProgressKind::kScan,
       {{1000, SequenceProgress{Browser::kIE, "cookies", 0}},
        {1100, SequenceProgress{Browser::kEdge, "local-storage", 12}}},
       std::string("\r") + kIECookies + "\r" + kEdge + Erased(kEdge)},
      {"a clean counts what it removed",
       ProgressKind::kClean,
       {{2000, SequenceProgress{Browser::kSafari, "storage", 3}}},
       std::string("\rCleaning Safari storage: 3 removed so far") +
           Erased("Cleaning Safari storage: 3 removed so far")},
  };
  const CProgressLine::Clock::time_point start;
  for (const auto& c : cases) {
    std::ostringstream terminal;
    CProgressLine line(terminal, c.kind, start);
    for (const Step& step : c.steps) {
      if (step.told) line.Update(*step.told);
      line.Tick(start + milliseconds(step.at_ms));
    }
    line.Clear();
    EXPECT_EQ(terminal.str(), c.drawn) << c.name;
  }
}

TEST(ProgressLine, AQuickRunLeavesTheTerminalAsItWas) {
  std::ostringstream terminal;
  const int result = RunWithProgress(terminal, true, ProgressKind::kClean, [](const ProgressSink& sink) {
    sink(SequenceProgress{Browser::kIE, "cookies", 0});
    return 5;
  });
  EXPECT_EQ(result, 5);
  EXPECT_EQ(terminal.str(), "");
}

class ProgressInOutput : public RegistryTest {
 protected:
  TempTree profile_;
};

TEST_F(ProgressInOutput, JsonOnATerminalIsWhatItIsElsewhere) {
  const std::string profile = platform::Utf8FromWide(profile_.Path());
  for (const char* command : {"scan", "clean"}) {
    std::ostringstream out[2], err[2];
    for (const bool terminal : {false, true}) {
      profile_.Write(std::string(TempProfile::kCookies) + "/c.txt",
                     "id\nval\nad.doubleclick.net/\n0\n0\n0\n0\n0\n*\n");
      RunCli({"trackscrub-cli", command, "--profile", profile, "--json"}, out[terminal], err[terminal],
             terminal);
    }
    EXPECT_EQ(out[1].str(), out[0].str()) << command;
    EXPECT_EQ(err[1].str(), "") << command;
  }
}
