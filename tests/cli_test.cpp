// The console front end: commands, options, exit statuses, output.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/version.h"
#include "cli/cli.h"
#include "platform/platform.h"
#include "sqlite_support.h"
#include "support/registry_sandbox.h"
#include "support/temp_tree.h"

namespace {

std::string Record(const std::string& name, const std::string& site) {
  return name + "\nval\n" + site + "\n0\n0\n0\n0\n0\n*\n";
}

class Cli : public RegistryTest {
 protected:
  void SetUp() override {
    profile_.Write(std::string(TempProfile::kCookies) + "/c.txt",
                   Record("id", "ad.doubleclick.net/") + Record("session", "www.example.org/"));
  }
  int Run(std::vector<std::string> args, bool err_is_terminal = false) {
    args.insert(args.begin(), "trackscrub-cli");
    out_.str("");
    err_.str("");
    return RunCli(args, out_, err_, err_is_terminal);
  }
  std::string Profile() const { return platform::Utf8FromWide(profile_.Path()); }

  TempTree profile_;
  std::ostringstream out_, err_;
};

}  // namespace

TEST_F(Cli, ScanListsEvilItemsAndTheSummary) {
  ASSERT_EQ(Run({"scan", "--profile", Profile()}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(),
            "Internet Explorer\tad.doubleclick.net/\tsoon\tid\tval\t*.doubleclick.net\n"
            "1 potentially evil cookies have been found on your computer: all of them are in "
            "Internet Explorer.\n");
  EXPECT_TRUE(profile_.Exists(std::string(TempProfile::kCookies) + "/c.txt"));
}

TEST_F(Cli, CleanRemovesAndCounts) {
  ASSERT_EQ(Run({"clean", "--profile", Profile()}), kExitOk);
  EXPECT_EQ(out_.str(), "1 cookies have been cleaned.\n");
  EXPECT_EQ(profile_.Read(std::string(TempProfile::kCookies) + "/c.txt"),
            Record("session", "www.example.org/"));
  ASSERT_EQ(Run({"clean", "--profile", Profile()}), kExitOk);
  EXPECT_EQ(out_.str(), "No cookies have been removed.\n");
  ASSERT_EQ(Run({"scan", "--profile", Profile()}), kExitOk);
  EXPECT_EQ(out_.str(), "No evil cookies have been found on your computer.\n");
}

TEST_F(Cli, FilterFileIsReadAsTheOptionsDialogStoresIt) {
  profile_.Write("filter.txt", "# mine\r\n*.example.org\r\n");
  ASSERT_EQ(Run({"scan", "--profile", Profile(), "--filter",
                 platform::Utf8FromWide(profile_.Path("filter.txt"))}),
            kExitOk);
  EXPECT_NE(out_.str().find("www.example.org/\tsoon\tsession"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("doubleclick"), std::string::npos);
  profile_.Write("empty.txt", "");
  ASSERT_EQ(Run({"scan", "--profile", Profile(), "--filter",
                 platform::Utf8FromWide(profile_.Path("empty.txt"))}),
            kExitOk);
  EXPECT_EQ(out_.str(), "No evil cookies have been found on your computer.\n");
}

TEST_F(Cli, BrowsersOptionLimitsTheStores) {
  ASSERT_EQ(Run({"clean", "--profile", Profile(), "--browsers", "firefox,chrome"}), kExitOk);
  EXPECT_EQ(out_.str(), "No cookies have been removed.\n");
  ASSERT_EQ(Run({"scan", "--profile", Profile(), "--browsers", "ie"}), kExitOk);
  EXPECT_NE(out_.str().find("1 potentially evil"), std::string::npos);
}

TEST_F(Cli, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"wipe", "--profile", Profile()},
      {"scan", "clean", "--profile", Profile()},
      {"scan", "--profile", Profile(), "--browsers", "ie,netscape"},
      {"scan", "--profile", Profile(), "--no-such-option"},
      {"scan", "--profile", Profile() + "/missing"},
      {"scan", "--profile", Profile(), "--filter", Profile() + "/missing.txt"},
      {"scan", "--profile", ""},
      {"clean", "--profile", ""},
      {"scan", "--profile", Profile(), "--browsers", ""},
      {"clean", "--profile", Profile(), "--browsers", ""},
      {"clean", "--profile", Profile(), "--keep", Profile() + "/missing.txt"},
      {"clean", "--profile", Profile(), "--keep", Profile() + "/c.txt"},  // a file of no domain
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Run(args), kExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(err_.str().empty());
    EXPECT_TRUE(out_.str().empty());
  }
}

TEST_F(Cli, ProfileIsRequiredWithoutUserFolders) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has the current user's folders";
#else
  EXPECT_EQ(Run({"scan"}), kExitUsage);
  EXPECT_NE(err_.str().find("--profile"), std::string::npos);
#endif
}

TEST_F(Cli, HelpAndVersion) {
  EXPECT_EQ(Run({"--help"}), kExitOk);
  EXPECT_NE(out_.str().find("scan"), std::string::npos);
  EXPECT_EQ(Run({"--version"}), kExitOk);
  EXPECT_EQ(out_.str(), std::string("trackscrub-cli ") + kProgramVersion + "\n");
}

TEST_F(Cli, WritesNoSettings) {
  ASSERT_EQ(Run({"clean", "--profile", Profile()}), kExitOk);
  platform::RegKey key;
  if (platform::RegKey::Open(L"Software\\Trackscrub", platform::RegAccess::kRead, &key) == 0) {
    uint32_t type = 0, size = 0;
    EXPECT_NE(key.QueryValue(L"LastCleanLow", &type, nullptr, &size), 0);
  }
}

TEST_F(Cli, ScanAsJsonParsesBack) {
  profile_.Write(std::string(TempProfile::kCookies) + "/Low/q.txt",
                 Record("quote\"d", "caf\xE9.doubleclick.net/p"));
  ASSERT_EQ(Run({"scan", "--json", "--profile", Profile()}), kExitOk);
  const auto result = nlohmann::json::parse(out_.str());
  ASSERT_EQ(result["items"].size(), 2u);
  const auto& item = result["items"][1];
  EXPECT_EQ(item["browser"], "Internet Explorer");
  EXPECT_EQ(item["store"], "cookies");
  EXPECT_EQ(item["site"], "caf\xC3\xA9.doubleclick.net/p");  // byte 0xE9 is U+00E9
  EXPECT_EQ(item["displaySite"], "caf\xC3\xA9.doubleclick.net/p");
  EXPECT_EQ(item["expires"], "soon");
  EXPECT_EQ(item["name"], "quote\"d");
  EXPECT_EQ(item["value"], "val");
  EXPECT_EQ(result["counts"]["Internet Explorer"], 2);
  EXPECT_EQ(result["counts"]["Firefox"], 0);
  EXPECT_EQ(result["counts"]["total"], 2);
  EXPECT_NE(result["summary"].get<std::string>().find("2 potentially evil"), std::string::npos);
}

TEST_F(Cli, CleanAsJsonParsesBack) {
  ASSERT_EQ(Run({"clean", "--json", "--profile", Profile()}), kExitOk);
  const auto result = nlohmann::json::parse(out_.str());
  EXPECT_EQ(result["removed"], 1);
  EXPECT_EQ(result["message"], "1 cookies have been cleaned.");
}

TEST_F(Cli, ListFilterPrintsTheActivePatterns) {
  ASSERT_EQ(Run({"list-filter"}), kExitOk);
  const std::string listed = out_.str();
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 98);
  EXPECT_NE(out_.str().find("*.doubleclick.net\n"), std::string::npos);
  profile_.Write("f.txt", "# c\r\n*.a.com\r\n\r\n*.b.com");
  ASSERT_EQ(Run({"list-filter", "--json", "--filter",
                 platform::Utf8FromWide(profile_.Path("f.txt"))}),
            kExitOk);
  EXPECT_EQ(nlohmann::json::parse(out_.str())["patterns"],
            nlohmann::json::array({"*.a.com", "*.b.com"}));
  profile_.Write("g.txt", std::string("\xEF\xBB\xBF*.a.com\n*\0.b.com\n\xEF\xBB\xBF\n", 24));
  ASSERT_EQ(Run({"list-filter", "--filter", platform::Utf8FromWide(profile_.Path("g.txt"))}), kExitOk);
  EXPECT_EQ(out_.str(), "*.a.com\n");
  EXPECT_EQ(err_.str(),
            "trackscrub-cli: filter line 2 ignored: it holds a NUL character\n"
            "trackscrub-cli: filter line 3 ignored: it holds only a byte-order mark\n");
}

TEST_F(Cli, HeldDatabaseIsSkippedWithStatusThreeNamedInJsonAndOnStandardError) {
  const std::string cookies = "AppData/Local/Microsoft/Edge/User Data/Default/Network/Cookies";
  profile_.Write(cookies, "");
  TestDb(profile_.Path(cookies)).Exec(kChromiumSchemaV24);
  const LockHolder lock(profile_.Path(cookies), kHeldByChromium, profile_);
  ASSERT_TRUE(lock.holding());
  const auto backslashed = [](std::string path) { return std::replace(path.begin(), path.end(), '/', '\\'), path; };
  for (const char* command : {"scan", "clean"}) {  // each returns its own status
    SCOPED_TRACE(command);
    EXPECT_EQ(Run({command, "--json", "--profile", Profile()}), kExitSkipped);
    const auto skipped = nlohmann::json::parse(out_.str())["skipped"];
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0]["browser"].get<std::string>() + "|" + skipped[0]["profile"].get<std::string>(), "Microsoft Edge|Default");
    EXPECT_EQ(backslashed(skipped[0]["path"]), backslashed(platform::Utf8FromWide(profile_.Path(cookies))));
    EXPECT_NE(err_.str().find("skipped Microsoft Edge profile 'Default'"), std::string::npos) << err_.str();
  }
}

TEST_F(Cli, PlainScanFieldsEscapeControlCharactersAndJsonKeepsThem) {
  const std::string values[] = {"a\tb", "two\nlines\r\n", "esc\x1b[31m del\x7f", "back\\slash"},
                    shown[] = {"a\\tb", "two\\nlines\\r\\n", "esc\\x1b[31m del\\x7f", "back\\\\slash"};
  const std::string database = "AppData/Roaming/Mozilla/Firefox/p/cookies.sqlite";
  profile_.Write("AppData/Roaming/Mozilla/Firefox/profiles.ini", "[Profile0]\nIsRelative=1\nPath=p\n");
  profile_.Write(database, "");
  TestDb db(profile_.Path(database));
  db.Exec(kFirefoxCookieSchema);
  for (const std::string& value : values) {
    db.Run("INSERT INTO moz_cookies (name, value, host, path, expiry) VALUES (?1, ?1, '.doubleclick.net', '/', 0)", {value});
  }
  ASSERT_EQ(Run({"scan", "--browsers", "firefox", "--profile", Profile()}), kExitOk) << err_.str();
  const std::string plain = out_.str();
  ASSERT_EQ(Run({"scan", "--json", "--browsers", "firefox", "--profile", Profile()}), kExitOk);
  const auto items = nlohmann::json::parse(out_.str())["items"];
  for (size_t i = 0; i < std::size(values); ++i) {
    EXPECT_NE(plain.find("\t" + shown[i] + "\t" + shown[i] + "\t*.doubleclick.net\n"), std::string::npos) << shown[i] << "\n" << plain;
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [&](const auto& item) { return item["value"] == values[i]; }), 1);
  }
}

TEST_F(Cli, AbsoluteProfilePathsAreFollowedOnlyInsideTheGivenFolder) {
  // A cookies.txt with an evil cookie in the given folder and beside it.
  const std::string cookie = ".doubleclick.net\tTRUE\t/\tFALSE\t0\tn\tv\n", outside = Profile() + "-beside/p";
  profile_.Write("Elsewhere/inside/cookies.txt", cookie);
  std::filesystem::create_directories(outside);
  std::ofstream(outside + "/cookies.txt", std::ios::binary) << cookie;
  const struct {
    std::string path;
    int status;
  } cases[] = {{Profile() + "/Elsewhere/inside", kExitOk}, {outside, kExitSkipped}, {"C:\\Users\\x\\Elsewhere\\inside", kExitSkipped}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    profile_.Write("AppData/Roaming/Mozilla/Firefox/profiles.ini", "[Profile0]\nIsRelative=0\nPath=" + c.path + "\n");
    ASSERT_EQ(Run({"clean", "--json", "--browsers", "firefox", "--profile", Profile()}), c.status) << err_.str();
    const auto result = nlohmann::json::parse(out_.str());
    EXPECT_EQ(result["removed"], c.status == kExitOk ? 1 : 0);
    EXPECT_EQ(result["skipped"].size(), c.status == kExitSkipped ? 1u : 0u);
    EXPECT_EQ(err_.str().find("outside the profile folder") != std::string::npos, c.status == kExitSkipped) << err_.str();
    std::ifstream left(outside + "/cookies.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(left), {}), cookie);
  }
  std::filesystem::remove_all(Profile() + "-beside");
}

TEST_F(Cli, ListsAddDomainsForTheRunTheKeepListWinsAndEachItemNamesItsRule) {
  profile_.Write("hosts.txt", "0.0.0.0 example.org\n");
  profile_.Write("keep.txt", "doubleclick.net\n");
  const std::string hosts = Profile() + "/hosts.txt", keep = Profile() + "/keep.txt";
  using Found = std::vector<std::pair<std::string, std::string>>;  // site, rule
  const Found both = {{"ad.doubleclick.net/", "*.doubleclick.net"}, {"www.example.org/", "hosts.txt: example.org"}};
  const struct {
    std::vector<std::string> options;
    Found found;
    std::string err;
  } cases[] = {
      {{}, {both[0]}, ""},
      {{"--list", hosts}, both, ""},
      {{"--list", hosts, "--keep", keep}, {both[1]}, ""},
      {{"--list", Profile() + "/no,such.txt", "--list", hosts}, both,
       "trackscrub-cli: tracker list '" + Profile() + "/no,such.txt' was not found; it is left out\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"scan", "--json", "--profile", Profile()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(Run(args), kExitOk) << err_.str();
    Found found;
    const auto items = nlohmann::json::parse(out_.str())["items"];
    for (const auto& item : items) found.emplace_back(item["site"], item["rule"]);
    EXPECT_EQ(found, c.found) << c.options.size();
    EXPECT_EQ(err_.str(), c.err);
  }
}

TEST_F(Cli, ListFilterCountsEachListAndNamesTheOnesLeftOut) {
  profile_.Write("f.txt", "*.p.example\n");
  profile_.Write("mixed.txt", "0.0.0.0 a.example b.example\n||c.example^$third-party\n||d.example/x^\n"
                              "@@||e.example^\nsite.example##.ad\na.example\nlocalhost\n! note\n");
  profile_.Write("comments.txt", "# only a comment\n");
  profile_.Write("utf16.txt", std::string("\xFF\xFE" "a\0.\0", 6));
  profile_.Write("keep.txt", "keep.example\n");
  std::vector<std::string> args = {"list-filter", "--filter", Profile() + "/f.txt", "--keep", Profile() + "/keep.txt"};
  for (const char* list : {"mixed.txt", "comments.txt", "utf16.txt", "missing.txt"}) {
    args.insert(args.end(), {"--list", Profile() + "/" + list});
  }
  ASSERT_EQ(Run(args), kExitOk);
  EXPECT_EQ(out_.str(),
            "*.p.example\n"
            "# tracker list mixed.txt: 3 domains; lines skipped (not a host name: 1, a rule for less than a "
            "whole domain: 1, an exception rule: 1, an element-hiding rule: 1, a domain already listed: 1)\n"
            "# tracker list comments.txt: 0 domains; holds no domain\n"
            "# tracker list utf16.txt: 0 domains; holds UTF-16 text; save it as UTF-8 or ANSI\n"
            "# tracker list missing.txt: 0 domains; was not found\n"
            "# keep list keep.txt: 1 domain\n");
  EXPECT_EQ(err_.str(), "trackscrub-cli: tracker list '" + Profile() + "/comments.txt' holds no domain; it is left out\n"
                        "trackscrub-cli: tracker list '" + Profile() + "/utf16.txt' holds UTF-16 text; save it as UTF-8 or ANSI; it is left out\n"
                        "trackscrub-cli: tracker list '" + Profile() + "/missing.txt' was not found; it is left out\n");
  args.push_back("--json");
  ASSERT_EQ(Run(args), kExitOk);
  const auto result = nlohmann::json::parse(out_.str());
  EXPECT_EQ(result["lists"][0]["skipped"], nlohmann::json::parse(R"({"notHostName": 1, "narrowedRule": 1,
            "exception": 1, "elementHiding": 1, "duplicate": 1})"));
  EXPECT_EQ(result["lists"][0]["used"], true);
  EXPECT_EQ(result["lists"][3]["used"], false);
  EXPECT_EQ(result["lists"][3]["state"], "was not found");
}

TEST_F(Cli, JsonOnATerminalIsWhatItIsElsewhere) {
  for (const char* command : {"scan", "clean"}) {
    std::string out[2];
    for (const bool terminal : {false, true}) {
      SetUp();  // the cookie file again, after a clean
      ASSERT_EQ(Run({command, "--profile", Profile(), "--json"}, terminal), kExitOk) << command;
      out[terminal] = out_.str();
    }
    EXPECT_EQ(out[1], out[0]) << command;
    EXPECT_EQ(err_.str(), "") << command;
  }
}
