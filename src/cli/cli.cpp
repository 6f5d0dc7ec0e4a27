#include "cli/cli.h"

// A repeated option's values are taken whole: a file name may hold a comma.
#define CXXOPTS_VECTOR_DELIMITER '\0'
#include <cxxopts.hpp>
#include <nlohmann/json.hpp>

#include <array>
#include <set>
#include <sstream>

#include "app/run_filter.h"
#include "app/settings.h"
#include "app/version.h"
#include "cli/progress.h"
#include "model/filter.h"
#include "scan/scanner.h"
#include "scan/summary.h"
#include "stores/stores.h"
#include "platform/platform.h"
#include "text/textfile.h"

namespace {

constexpr char kProgram[] = "trackscrub-cli";
// Why a database was skipped, as the console says it.
const char* HeldReasonText(HeldReason reason) {
  switch (reason) {
    case HeldReason::kNeedsRecovery:
      return "the database needs recovery from an interrupted write (a clean recovers it)";
    case HeldReason::kHardLinked:
      return "the database or one of its files has other links; it is not written";
    case HeldReason::kChangedOtherRows:
      return "a deletion changed more than the listed row; nothing was removed";
    case HeldReason::kOutsideProfile:
      return "the profile list names a folder outside the profile folder given";
    case HeldReason::kDamaged:
      return "the database is damaged; it is left as it is";
    case HeldReason::kNone:
    case HeldReason::kInUse:
      break;
  }
  return "the database is in use by another program (is the browser running?)";
}

// A field of plain output with its control characters in C notation (\t, \n, \r,
// \xNN for the other C0 characters and DEL) and each backslash doubled, so that
// no field holds a raw tab or line break.
std::string Escaped(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

// Parses "ie,firefox,..." into the set of enabled browsers.
bool ParseBrowsers(const std::string& list, std::set<Browser>* enabled, std::string* bad) {
  enabled->clear();
  std::stringstream stream(list);
  std::string word;
  while (std::getline(stream, word, ',')) {
    bool known = false;
    for (const BrowserInfo& browser : Browsers()) {
      if (word == browser.console_name) {
        enabled->insert(browser.id);
        known = true;
      }
    }
    if (!known) {
      *bad = word;
      return false;
    }
  }
  return true;
}

// "ie,firefox,...": every console name, in the table's order.
std::string ConsoleNames() {
  std::string names;
  for (const BrowserInfo& browser : Browsers()) {
    if (!names.empty()) names += ',';
    names += browser.console_name;
  }
  return names;
}

// A filter file, taken as the options dialog stores its text: each CR LF pair
// becomes LF, nothing else changes.
bool ReadFilterFile(const std::string& path, std::wstring* text) {
  std::string bytes;
  constexpr size_t kMaxFilterFileBytes = size_t{16} << 20;
  if (!platform::ReadWholeFile(platform::WideFromUtf8(path), &bytes, kMaxFilterFileBytes)) {
    return false;
  }
  std::wstring wide = WideFromBytes(bytes);
  text->clear();
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n') continue;
    *text += wide[i];
  }
  return true;
}

// One evil item as the front end shows it.
struct Row {
  Browser browser;
  const char* store;
  std::string site;
  std::string display_site;
  std::string expires;
  std::string name;
  std::string value;
  std::string rule;
};

std::vector<Row> RowsOf(const CScanLists& lists) {
  std::vector<Row> rows;
  for (const BrowserInfo& browser : Browsers()) {
    for (const StoreEntry& store : browser.stores) {
      for (const CCookie* item : store.items(browser, lists)) {
        rows.push_back(Row{browser.id, store.kind, platform::Utf8FromWide(item->GetSite()),
                           platform::Utf8FromWide(item->GetDisplaySite()),
                           platform::Utf8FromWide(item->GetExpires()),
                           platform::Utf8FromWide(item->GetName()),
                           platform::Utf8FromWide(item->GetValue()),
                           platform::Utf8FromWide(item->GetRule())});
      }
    }
  }
  return rows;
}

// The databases running browsers held, as JSON.
nlohmann::ordered_json SkippedJson(const std::vector<HeldBrowserStore>& held) {
  nlohmann::ordered_json skipped = nlohmann::ordered_json::array();
  for (const HeldBrowserStore& store : held) {
    skipped.push_back({{"browser", BrowserOf(store.browser).console_label},
                       {"profile", platform::Utf8FromWide(store.store.profile)},
                       {"path", platform::Utf8FromWide(store.store.path)},
                       {"reason", HeldReasonText(store.store.reason)}});
  }
  return skipped;
}

// One line on standard error for each held database, then the sentences telling
// which browsers to close.
void ReportSkipped(std::ostream& err, const std::vector<HeldBrowserStore>& held) {
  for (const HeldBrowserStore& store : held) {
    err << kProgram << ": skipped " << BrowserOf(store.browser).console_label << " profile '"
        << platform::Utf8FromWide(store.store.profile) << "': "
        << platform::Utf8FromWide(store.store.path) << ": " << HeldReasonText(store.store.reason) << '\n';
  }
  for (const std::wstring& sentence : HeldSentences(held)) {
    err << kProgram << ": " << platform::Utf8FromWide(sentence) << '\n';
  }
}

void PrintScan(std::ostream& out, const CScanLists& lists, bool json) {
  const std::vector<Row> rows = RowsOf(lists);
  if (!json) {
    for (const Row& row : rows) {
      out << BrowserOf(row.browser).console_label << '\t' << Escaped(row.display_site) << '\t'
          << Escaped(row.expires) << '\t' << Escaped(row.name) << '\t' << Escaped(row.value)
          << '\t' << Escaped(row.rule) << '\n';
    }
    out << platform::Utf8FromWide(FormatFoundSentence(lists)) << '\n';
    return;
  }
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (const Row& row : rows) {
    items.push_back({{"browser", BrowserOf(row.browser).console_label},
                     {"store", row.store},
                     {"site", row.site},
                     {"displaySite", row.display_site},
                     {"expires", row.expires},
                     {"name", row.name},
                     {"value", row.value},
                     {"rule", row.rule}});
  }
  nlohmann::ordered_json counts;
  for (const BrowserInfo& browser : Browsers()) {
    counts[browser.console_label] = lists.CountFor(browser.id);
  }
  counts["total"] = lists.Total();
  const nlohmann::ordered_json result = {
      {"items", items},
      {"counts", counts},
      {"summary", platform::Utf8FromWide(FormatFoundSentence(lists))},
      {"skipped", SkippedJson(lists.held)}};
  out << result.dump(2) << '\n';
}

void PrintClean(std::ostream& out, int count, const std::vector<HeldBrowserStore>& held,
                bool json) {
  const std::string message = platform::Utf8FromWide(FormatCleanResult(count));
  if (json) {
    out << nlohmann::ordered_json{{"removed", count}, {"message", message},
                                  {"skipped", SkippedJson(held)}}
               .dump(2)
        << '\n';
  } else {
    out << message << '\n';
  }
}

// The keys of a list's skipped lines in JSON, in the order of CTrackerList::Skip.
constexpr const char* kSkipKeys[CTrackerList::kSkipReasons] = {
    "notHostName", "narrowedRule", "exception", "elementHiding", "duplicate"};

using SkipCounts = std::array<size_t, CTrackerList::kSkipReasons>;

SkipCounts SkipCountsOf(const CTrackerList& list) {
  SkipCounts counts{};
  for (size_t reason = 0; reason < counts.size(); ++reason) {
    counts[reason] = list.skipped(static_cast<CTrackerList::Skip>(reason));
  }
  return counts;
}

nlohmann::ordered_json SkippedJson(const SkipCounts& counts) {
  nlohmann::ordered_json skipped = nlohmann::ordered_json::object();
  for (size_t reason = 0; reason < counts.size(); ++reason) skipped[kSkipKeys[reason]] = counts[reason];
  return skipped;
}

// "N domains; lines skipped (not a host name: 2, ...)", naming only the reasons met.
std::string CountsText(size_t domains, const SkipCounts& counts) {
  std::string skipped;
  for (size_t reason = 0; reason < counts.size(); ++reason) {
    if (counts[reason] == 0) continue;
    if (!skipped.empty()) skipped += ", ";
    skipped += platform::Utf8FromWide(ListSkipText(static_cast<CTrackerList::Skip>(reason))) +
               ": " + std::to_string(counts[reason]);
  }
  const std::string text = std::to_string(domains) + (domains == 1 ? " domain" : " domains");
  return skipped.empty() ? text : text + "; lines skipped (" + skipped + ")";
}

// The patterns, one per line, then a comment line for each list and the keep list:
// the plain output is itself a filter file.
void PrintFilter(std::ostream& out, const RunFilter& run, bool json) {
  const CCookieFilter& filter = run.filter;
  if (json) {
    nlohmann::json patterns = nlohmann::json::array();
    for (const std::wstring& pattern : filter.patterns()) {
      patterns.push_back(platform::Utf8FromWide(pattern));
    }
    nlohmann::ordered_json lists = nlohmann::ordered_json::array();
    for (const ListReport& report : run.lists) {
      lists.push_back({{"source", platform::Utf8FromWide(report.source)},
                       {"name", platform::Utf8FromWide(report.name)},
                       {"domains", report.domains},
                       {"skipped", SkippedJson(report.skipped)},
                       {"used", report.error == ListFileError::kNone},
                       {"state", platform::Utf8FromWide(ListStateText(report))}});
    }
    const nlohmann::ordered_json keep = {{"name", platform::Utf8FromWide(filter.keep().name())},
                                         {"domains", filter.keep().size()},
                                         {"skipped", SkippedJson(SkipCountsOf(filter.keep()))}};
    out << nlohmann::ordered_json{{"patterns", patterns}, {"lists", lists}, {"keep", keep}}.dump(2)
        << '\n';
    return;
  }
  for (const std::wstring& pattern : filter.patterns()) out << platform::Utf8FromWide(pattern) << '\n';
  for (const ListReport& report : run.lists) {
    const std::string state = platform::Utf8FromWide(ListStateText(report));
    out << "# tracker list " << platform::Utf8FromWide(report.name) << ": "
        << CountsText(report.domains, report.skipped) << (state.empty() ? "" : "; " + state) << '\n';
  }
  if (!filter.keep().empty()) {
    out << "# keep list " << platform::Utf8FromWide(filter.keep().name()) << ": "
        << CountsText(filter.keep().size(), SkipCountsOf(filter.keep())) << '\n';
  }
}

// A line on standard error for each list that is left out or not current.
void ReportLists(std::ostream& err, const std::vector<ListReport>& lists) {
  for (const ListReport& report : lists) {
    const std::wstring state = ListStateText(report);
    if (state.empty()) continue;
    err << kProgram << ": tracker list '" << platform::Utf8FromWide(report.source) << "' "
        << platform::Utf8FromWide(state)
        << (report.error == ListFileError::kNone ? "" : "; it is left out") << '\n';
  }
}

int Usage(std::ostream& err, const std::string& message) {
  err << kProgram << ": " << message << "\n"
      << "Try '" << kProgram << " --help'.\n";
  return kExitUsage;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool err_is_terminal) {
  cxxopts::Options options(kProgram,
                           "Finds and removes tracking cookies and page storage of Internet "
                           "Explorer, Firefox, Chrome, Edge, Brave, Vivaldi, Opera, Chromium, "
                           "Safari and Flash.");
  options.custom_help("scan|clean|list-filter [OPTION...]");
  options.positional_help("");
  options.add_options()
      ("profile", "Windows user profile folder to work on (required outside Windows)",
       cxxopts::value<std::string>())
      ("filter", "file of filter patterns, one per line (default: the built-in list)",
       cxxopts::value<std::string>())
      ("list", "a tracker list file to add for this run (repeatable): a hosts file, "
       "domains one per line, or content-blocker rules", cxxopts::value<std::vector<std::string>>())
      ("keep", "file of sites never to clean, one per line (default: the stored keep list)",
       cxxopts::value<std::string>())
      ("browsers", "browsers to include: " + ConsoleNames() + " (default: all)",
       cxxopts::value<std::string>())
      ("json", "print JSON instead of text")
      ("h,help", "show this help")
      ("version", "show the version")
      ("command", "scan or clean", cxxopts::value<std::vector<std::string>>());
  options.parse_positional({"command"});

  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  cxxopts::ParseResult parsed;
  try {
    parsed = options.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const cxxopts::exceptions::exception& error) {
    return Usage(err, error.what());
  }
  if (parsed.count("help") != 0) {
    out << options.help({""}) << "\nCommands:\n"
        << "  scan         list the evil items and say how many were found\n"
        << "  clean        remove the evil items and say how many were removed\n"
        << "  list-filter  print the patterns in use and the tracker lists with their counts\n";
    return kExitOk;
  }
  if (parsed.count("version") != 0) {
    out << kProgram << ' ' << kProgramVersion << '\n';
    return kExitOk;
  }
  if (parsed.count("command") == 0) return Usage(err, "missing command: scan, clean or list-filter");
  const auto& commands = parsed["command"].as<std::vector<std::string>>();
  if (commands.size() != 1) return Usage(err, "give exactly one command: scan, clean or list-filter");
  const std::string& command = commands.front();
  if (command != "scan" && command != "clean" && command != "list-filter") {
    return Usage(err, "unknown command: " + command);
  }
  const bool json = parsed.count("json") != 0;

  std::set<Browser> enabled;
  for (const BrowserInfo& browser : Browsers()) enabled.insert(browser.id);
  if (parsed.count("browsers") != 0) {
    std::string bad;
    if (parsed["browsers"].as<std::string>().empty()) {
      return Usage(err, "--browsers needs at least one browser: " + ConsoleNames());
    }
    if (!ParseBrowsers(parsed["browsers"].as<std::string>(), &enabled, &bad)) {
      return Usage(err, "unknown browser: '" + bad + "'");
    }
  }

  // The filter comes first: the copies of downloaded lists are the current user's,
  // whatever profile is worked on.
  std::wstring filter_text = CtrackscrubApp::GetFilter();
  if (parsed.count("filter") != 0) {
    const std::string path = parsed["filter"].as<std::string>();
    if (!ReadFilterFile(path, &filter_text)) {
      err << kProgram << ": cannot read filter file: " << path << '\n';
      return kExitUsage;
    }
  }
  CTrackerList keep = KeepListFromText(GetNeverCleanText());
  if (parsed.count("keep") != 0) {
    // Without its keep list a clean would remove what the user keeps: no run at all.
    const std::string path = parsed["keep"].as<std::string>();
    const std::wstring wide = platform::WideFromUtf8(path);
    const ListFileError error =
        LoadTrackerList(wide, wide.substr(wide.find_last_of(L"\\/") + 1), &keep);
    if (error != ListFileError::kNone) {
      err << kProgram << ": keep list '" << path << "' " << platform::Utf8FromWide(ListFileErrorText(error))
          << '\n';
      return kExitUsage;
    }
  }
  std::vector<std::wstring> sources = GetTrackerListSources();
  if (parsed.count("list") != 0) {
    for (const std::string& path : parsed["list"].as<std::vector<std::string>>()) {
      sources.push_back(platform::WideFromUtf8(path));
    }
  }
  const RunFilter run = BuildRunFilter(filter_text, sources, std::move(keep));
  const CCookieFilter& filter = run.filter;
  ReportLists(err, run.lists);

  if (command == "list-filter") {
    // No profile needed: only the filter.
  } else if (parsed.count("profile") != 0) {
    if (parsed["profile"].as<std::string>().empty()) {
      return Usage(err, "--profile needs a folder");
    }
    const std::wstring profile = platform::WideFromUtf8(parsed["profile"].as<std::string>());
    if (!platform::DirectoryExists(profile)) {
      err << kProgram << ": profile folder not found: " << parsed["profile"].as<std::string>()
          << '\n';
      return kExitUsage;
    }
    platform::SetProfileRoot(profile);
  } else {
    std::wstring folder;
    if (!platform::GetKnownFolder(platform::KnownFolder::Profile, &folder)) {
      return Usage(err, "--profile is required: this system has no user profile of its own");
    }
  }

  const BrowserGate gate = [&enabled](Browser browser) {
    return enabled.count(browser) != 0;
  };

  if (command == "list-filter") {
    for (const CCookieFilter::IgnoredLine& ignored : filter.ignored()) {
      err << kProgram << ": filter line " << ignored.line << " ignored: "
          << (ignored.reason == CCookieFilter::IgnoredLine::Reason::kNul
                  ? "it holds a NUL character"
                  : "it holds only a byte-order mark")
          << '\n';
    }
    PrintFilter(out, run, json);
    return kExitOk;
  }
  // Never beside JSON, which a program reads.
  const bool show_progress = err_is_terminal && !json;
  if (command == "clean") {
    std::vector<HeldBrowserStore> held;
    int removed = 0;
    RunWithProgress(err, show_progress, ProgressKind::kClean, [&](const ProgressSink& progress) {
      removed = RunCleanSequence(filter, gate, nullptr, &held, progress);
    });
    PrintClean(out, removed, held, json);
    ReportSkipped(err, held);
    return held.empty() ? kExitOk : kExitSkipped;
  }
  CScanLists lists;
  RunWithProgress(err, show_progress, ProgressKind::kScan, [&](const ProgressSink& progress) {
    RunScanSequence(filter, &lists, gate, progress);
  });
  PrintScan(out, lists, json);
  ReportSkipped(err, lists.held);
  return lists.held.empty() ? kExitOk : kExitSkipped;
}
