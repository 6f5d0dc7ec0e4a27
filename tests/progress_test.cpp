// The console front end's line of progress: what it draws when (the JSON output
// that never carries it: cli_test).
#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "cli/progress.h"

TEST(ProgressLine, DrawsTheLatestTextAfterTheFirstSecondAndErasesIt) {
  const SequenceProgress ie{Browser::kIE, "cookies", 0}, edge{Browser::kEdge, "local-storage", 12},
      flash{Browser::kFlash, "objects", 12}, safari{Browser::kSafari, "storage", 3};
  const std::string edge_text = "Scanning Microsoft Edge local-storage: 12 found so far",
                    flash_text = "Scanning Flash objects: 12 found so far",
                    safari_text = "Cleaning Safari storage: 3 removed so far";
  const auto erased = [](const std::string& text) {
    return "\r" + std::string(text.size(), ' ') + "\r";
  };
  // At a time from the start (ms), what the sequence tells, if anything; then a tick.
  using Steps = std::vector<std::pair<int, std::optional<SequenceProgress>>>;
  const struct {
    const char* name;
    ProgressKind kind;
    Steps steps;
    std::string drawn;
  } cases[] = {
      {"under a second nothing shows", ProgressKind::kScan, {{0, ie}, {999, edge}}, ""},
      {"nothing told, nothing shown", ProgressKind::kScan, {{1500, std::nullopt}}, ""},
      {"then the latest text shows, once",
       ProgressKind::kScan,
       {{0, ie}, {500, edge}, {1000, std::nullopt}, {1100, std::nullopt}},
       "\r" + edge_text + erased(edge_text)},
      {"a shorter text blanks the rest of a longer one",
       ProgressKind::kScan,
       {{1000, edge}, {1100, flash}},
       "\r" + edge_text + "\r" + flash_text + std::string(edge_text.size() - flash_text.size(), ' ') +
           erased(flash_text)},
      {"a clean counts what it removed", ProgressKind::kClean, {{2000, safari}},
       "\r" + safari_text + erased(safari_text)},
  };
  const CProgressLine::Clock::time_point start;
  for (const auto& c : cases) {
    std::ostringstream terminal;
    CProgressLine line(terminal, c.kind, start);
    for (const auto& [at_ms, told] : c.steps) {
      if (told) line.Update(*told);
      line.Tick(start + std::chrono::milliseconds(at_ms));
    }
    line.Clear();
    EXPECT_EQ(terminal.str(), c.drawn) << c.name;
  }
  // On the real clock, a run under a second leaves the terminal as it was.
  std::ostringstream terminal;
  RunWithProgress(terminal, true, ProgressKind::kScan, [&ie](const ProgressSink& sink) { sink(ie); });
  EXPECT_EQ(terminal.str(), "");
}
