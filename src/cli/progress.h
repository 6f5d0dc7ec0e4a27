// The line of progress the console front end keeps on a terminal while a scan or
// clean runs: nothing during the first second, then one line telling the browser
// and the store at work and the items so far, redrawn in place and erased at the
// end, so that what is printed afterwards starts on a clean line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "scan/scanner.h"

enum class ProgressKind { kScan, kClean };

// The drawing, driven by the times it is given.
class CProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  // Shows nothing before a second has passed since `start`.
  static constexpr std::chrono::milliseconds kQuietStart{1000};

  CProgressLine(std::ostream& terminal, ProgressKind kind, Clock::time_point start);

  // "Scanning Firefox cookies: 120 found so far".
  static std::string Text(ProgressKind kind, const SequenceProgress& at);

  // Takes where the sequence is now; drawn at the next Tick().
  void Update(const SequenceProgress& at);
  // Draws the latest text (a carriage return, the text, blanks over what is left
  // of a longer text before), when the run has lasted kQuietStart and the line
  // does not show it yet.
  void Tick(Clock::time_point now);
  // Erases the line, if one was drawn.
  void Clear();

 private:
  std::ostream& terminal_;
  ProgressKind kind_;
  Clock::time_point start_;
  std::string text_;   // the latest text, empty before the first Update()
  std::string shown_;  // what the line shows
};

// A CProgressLine on the real clock: a thread of its own draws it every tenth of a
// second; the destructor stops the thread and erases the line.
class CProgressTicker {
 public:
  CProgressTicker(std::ostream& terminal, ProgressKind kind);
  CProgressTicker(const CProgressTicker&) = delete;
  CProgressTicker& operator=(const CProgressTicker&) = delete;
  ~CProgressTicker();

  // What the sequence tells; valid while the ticker lives.
  ProgressSink Sink();

 private:
  void Run();

  std::mutex lock_;
  std::condition_variable stop_;
  bool stopping_ = false;
  CProgressLine line_;
  std::thread thread_;
};

// Runs `sequence` with a sink that keeps the line on `terminal` when `show` is true
// (and with none when it is false); the line is gone when this returns.
void RunWithProgress(std::ostream& terminal, bool show, ProgressKind kind,
                     const std::function<void(const ProgressSink&)>& sequence);
