#include "cli/cli.h"

#include <cxxopts.hpp>

#include <sstream>

#include "app/version.h"
#include "model/filter.h"
#include "model/scanner.h"
#include "model/summary.h"
#include "platform/platform.h"
#include "stores/textfile.h"

namespace {

constexpr char kProgram[] = "trackscrub-cli";

struct BrowserName {
  const char* option;
  Browser browser;
  const char* label;
};

constexpr BrowserName kBrowserNames[] = {
    {"ie", Browser::kIE, "Internet Explorer"}, {"firefox", Browser::kFirefox, "Firefox"},
    {"chrome", Browser::kChrome, "Google Chrome"}, {"safari", Browser::kSafari, "Safari"},
    {"flash", Browser::kFlash, "Flash"},
};

const char* Label(Browser browser) {
  for (const BrowserName& name : kBrowserNames) {
    if (name.browser == browser) return name.label;
  }
  return "";
}

// Parses "ie,firefox,..." into the set of enabled browsers.
bool ParseBrowsers(const std::string& list, bool enabled[5], std::string* bad) {
  for (int i = 0; i < 5; ++i) enabled[i] = false;
  std::stringstream stream(list);
  std::string word;
  while (std::getline(stream, word, ',')) {
    bool known = false;
    for (const BrowserName& name : kBrowserNames) {
      if (word == name.option) {
        enabled[static_cast<int>(name.browser)] = true;
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

// A filter file, taken as the options dialog stores its text: each CR LF pair
// becomes LF, nothing else changes.
bool ReadFilterFile(const std::string& path, std::wstring* text) {
  std::string bytes;
  if (!platform::ReadWholeFile(platform::WideFromUtf8(path), &bytes)) return false;
  std::wstring wide = WideFromBytes(bytes);
  text->clear();
  for (size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n') continue;
    *text += wide[i];
  }
  return true;
}

template <typename Array>
void PrintItems(std::ostream& out, Browser browser, const Array& items) {
  for (const auto& item : items) {
    out << Label(browser) << '\t' << platform::Utf8FromWide(item.GetDisplaySite()) << '\t'
        << platform::Utf8FromWide(item.GetExpires()) << '\t'
        << platform::Utf8FromWide(item.GetName()) << '\t'
        << platform::Utf8FromWide(item.GetValue()) << '\n';
  }
}

int Usage(std::ostream& err, const std::string& message) {
  err << kProgram << ": " << message << "\n"
      << "Try '" << kProgram << " --help'.\n";
  return kExitUsage;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  cxxopts::Options options(kProgram,
                           "Finds and removes tracking cookies and page storage of Internet "
                           "Explorer, Firefox, Chrome, Safari and Flash.");
  options.custom_help("scan|clean [OPTION...]");
  options.positional_help("");
  options.add_options()
      ("profile", "Windows user profile folder to work on (required outside Windows)",
       cxxopts::value<std::string>())
      ("filter", "file of filter patterns, one per line (default: the built-in list)",
       cxxopts::value<std::string>())
      ("browsers", "browsers to include: ie,firefox,chrome,safari,flash (default: all)",
       cxxopts::value<std::string>())
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
        << "  scan   list the evil items and say how many were found\n"
        << "  clean  remove the evil items and say how many were removed\n";
    return kExitOk;
  }
  if (parsed.count("version") != 0) {
    out << kProgram << ' ' << kProgramVersion << '\n';
    return kExitOk;
  }
  if (parsed.count("command") == 0) return Usage(err, "missing command: scan or clean");
  const auto& commands = parsed["command"].as<std::vector<std::string>>();
  if (commands.size() != 1) return Usage(err, "give exactly one command: scan or clean");
  const std::string& command = commands.front();
  if (command != "scan" && command != "clean") return Usage(err, "unknown command: " + command);

  bool enabled[5] = {true, true, true, true, true};
  if (parsed.count("browsers") != 0) {
    std::string bad;
    if (!ParseBrowsers(parsed["browsers"].as<std::string>(), enabled, &bad)) {
      return Usage(err, "unknown browser: '" + bad + "'");
    }
  }

  if (parsed.count("profile") != 0) {
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

  std::wstring filter_text;
  if (parsed.count("filter") != 0) {
    const std::string path = parsed["filter"].as<std::string>();
    if (!ReadFilterFile(path, &filter_text)) {
      err << kProgram << ": cannot read filter file: " << path << '\n';
      return kExitUsage;
    }
  }
  const CCookieFilter filter =
      parsed.count("filter") != 0 ? CCookieFilter(filter_text) : CCookieFilter();
  const BrowserGate gate = [&enabled](Browser browser) {
    return enabled[static_cast<int>(browser)];
  };

  if (command == "clean") {
    out << platform::Utf8FromWide(FormatCleanResult(RunCleanSequence(filter, gate))) << '\n';
    return kExitOk;
  }
  CScanLists lists;
  RunScanSequence(filter, &lists, gate);
  PrintItems(out, Browser::kIE, lists.ie_cookies);
  PrintItems(out, Browser::kIE, lists.ie_userdata);
  PrintItems(out, Browser::kFirefox, lists.firefox_cookies);
  PrintItems(out, Browser::kFirefox, lists.firefox_userdata);
  PrintItems(out, Browser::kChrome, lists.chrome_cookies);
  PrintItems(out, Browser::kChrome, lists.chrome_userdata);
  PrintItems(out, Browser::kSafari, lists.safari_cookies);
  PrintItems(out, Browser::kSafari, lists.safari_userdata);
  PrintItems(out, Browser::kFlash, lists.flash_cookies);
  out << platform::Utf8FromWide(FormatFoundSentence(lists)) << '\n';
  return kExitOk;
}
