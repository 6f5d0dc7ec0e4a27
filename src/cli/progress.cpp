#include "cli/progress.h"

#include "scan/browsers.h"

namespace {

constexpr std::chrono::milliseconds kTickEvery{100};

}  // namespace

CProgressLine::CProgressLine(std::ostream& terminal, ProgressKind kind, Clock::time_point start)
    : terminal_(terminal), kind_(kind), start_(start) {}

std::string CProgressLine::Text(ProgressKind kind, const SequenceProgress& at) {
  const bool scan = kind == ProgressKind::kScan;
  return std::string(scan ? "Scanning " : "Cleaning ") + BrowserOf(at.browser).console_label +
         " " + at.store + ": " + std::to_string(at.items) + (scan ? " found" : " removed") +
         " so far";
}

void CProgressLine::Update(const SequenceProgress& at) { text_ = Text(kind_, at); }

void CProgressLine::Tick(Clock::time_point now) {
  if (now - start_ < kQuietStart || text_.empty() || text_ == shown_) return;
  const size_t blanks = shown_.size() > text_.size() ? shown_.size() - text_.size() : 0;
  terminal_ << '\r' << text_ << std::string(blanks, ' ') << std::flush;
  shown_ = text_;
}

void CProgressLine::Clear() {
  if (shown_.empty()) return;
  terminal_ << '\r' << std::string(shown_.size(), ' ') << '\r' << std::flush;
  shown_.clear();
}

CProgressTicker::CProgressTicker(std::ostream& terminal, ProgressKind kind)
    : line_(terminal, kind, CProgressLine::Clock::now()), thread_([this] { Run(); }) {}

CProgressTicker::~CProgressTicker() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
  }
  stop_.notify_one();
  thread_.join();
  line_.Clear();
}

ProgressSink CProgressTicker::Sink() {
  return [this](const SequenceProgress& at) {
    const std::lock_guard<std::mutex> hold(lock_);
    line_.Update(at);
  };
}

void CProgressTicker::Run() {
  std::unique_lock<std::mutex> hold(lock_);
  while (!stop_.wait_for(hold, kTickEvery, [this] { return stopping_; })) {
    line_.Tick(CProgressLine::Clock::now());
  }
}

void RunWithProgress(std::ostream& terminal, bool show, ProgressKind kind,
                     const std::function<void(const ProgressSink&)>& sequence) {
  if (!show) {
    sequence(nullptr);
    return;
  }
  CProgressTicker ticker(terminal, kind);
  sequence(ticker.Sink());
}
