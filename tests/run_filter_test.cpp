// The filter of a run: tracker lists and the keep list from the settings, list
// addresses and the downloaded copies' state.
#include <gtest/gtest.h>

#include <array>
#include <iterator>

#include "app/run_filter.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "support/registry_sandbox.h"
#include "support/temp_tree.h"

namespace {

class RunFilterTest : public RegistryTest {
 protected:
  TempProfile profile_;
};

}  // namespace

TEST(ListAddress, OnlyHttpsOrLoopbackHttpIsAccepted) {
  const struct {
    const wchar_t* address;
    bool accepted;
  } cases[] = {
      {L"https://lists.example.org/hosts.txt", true},  {L"HTTPS://Lists.Example.org:8443/a?b#c", true},
      {L"https://[2001:db8::1]/l", true},              {L"http://127.0.0.1:8080/list", true},
      {L"http://[::1]/list", true},                    {L"http://LocalHost/list", true},
      {L"http://lists.example.org/hosts.txt", false},  {L"http://127.0.0.2/list", false},
      {L"http://localhost.example.org/l", false},      {L"ftp://lists.example.org/l", false},
      {L"https://", false},                            {L"https://:443/l", false},
      {L"https://user@lists.example.org/l", false},    {L"https://lists.example.org:0/l", false},
      {L"https://lists.example.org:99999/l", false},   {L"https://lists.example.org/a b", false},
      {L"https://lists.ex\u00e4mple.org/l", false},    {L"https://[::1/l", false},
      {L"C:\\lists\\hosts.txt", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAcceptedListAddress(c.address), c.accepted) << c.address;
}

TEST_F(RunFilterTest, CopiesLieBelowLocalAppDataNamedByHostAndAddress) {
  std::wstring a, b, c;
  ASSERT_TRUE(ListCopyPath(L"https://Lists.Example.org:8443/a.txt", &a));
  ASSERT_TRUE(ListCopyPath(L"https://lists.example.org/b.txt", &b));
  ASSERT_TRUE(ListCopyPath(L"https://lists.example.org/b.txt", &c));
  EXPECT_EQ(a.rfind(profile_.Path() + L"\\AppData\\Local\\Trackscrub\\Lists\\lists.example.org-", 0), 0u) << a;
  EXPECT_NE(a, b);
  EXPECT_EQ(b, c);
  platform::SetProfileRoot(L"");
  EXPECT_EQ(ListCopyPath(L"https://lists.example.org/b.txt", &c), platform::GetKnownFolder(platform::KnownFolder::LocalAppData, &a));
}

TEST(ListDownload, DueOnceADay) {
  constexpr uint64_t kDay = 864000000000ull, kNow = 100 * kDay;
  const struct {
    uint64_t checked;
    bool due;
  } cases[] = {{0, true}, {kNow - kDay, true}, {kNow - kDay + 1, false}, {kNow, false}, {kNow + 1, true}};
  for (const auto& c : cases) {
    ListDownloadState state;
    state.checked = c.checked;
    EXPECT_EQ(IsListDownloadDue(state, kNow), c.due) << c.checked;
  }
}

TEST_F(RunFilterTest, EveryListIsReadFromDiskAndReported) {
  profile_.Write("hosts.txt", "0.0.0.0 ads.example\n0.0.0.0 localhost\n||x.example^$image\nads.example\n");
  profile_.Write("comments.txt", "# nothing here\n");
  ListDownloadState good;
  good.etag = "\"v1\"";
  good.checked = good.confirmed = 5;
  ListDownloadState failed = good;
  failed.failure = L"the server answered 500";
  profile_.WriteListCopy(L"https://good.example.org/l", "track.example\n", &good);
  profile_.WriteListCopy(L"https://failed.example.org/l", "other.example\n", &failed);
  // One source a line, as stored, blank lines and CR LF pairs too.
  CtrackscrubApp::SetRegString(kValueTrackerLists,
                               (profile_.Path("hosts.txt") + L"\r\n\n" + profile_.Path("missing.txt") + L"\n" +
                                profile_.Path("comments.txt") + L"\nhttps://good.example.org/l\n"
                                L"https://failed.example.org/l\nhttps://new.example.org/l").c_str());
  CtrackscrubApp::SetRegString(kValueNeverClean, L"Keep.Track.example\r\nhttps://not-a-site/\r\n");
  CtrackscrubApp::SetRegString(kValueFilter, L"*.pattern.example\n");
  const RunFilter run = BuildSettingsFilter();
  const struct {
    const wchar_t* name;
    ListFileError error;
    size_t domains;
    std::wstring state;
  } expected[] = {
      {L"hosts.txt", ListFileError::kNone, 1, L""},
      {L"missing.txt", ListFileError::kMissing, 0, L"was not found"},
      {L"comments.txt", ListFileError::kNoDomains, 0, L"holds no domain"},
      {L"https://good.example.org/l", ListFileError::kNone, 1, L""},
      {L"https://failed.example.org/l", ListFileError::kNone, 1,
       L"download failed: the server answered 500; last good copy kept"},
      {L"https://new.example.org/l", ListFileError::kMissing, 0, L"not downloaded yet"},
  };
  ASSERT_EQ(run.lists.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const ListReport& report = run.lists[i];
    EXPECT_EQ(report.name, expected[i].name);
    EXPECT_EQ(report.error, expected[i].error) << i;
    EXPECT_EQ(report.domains, expected[i].domains) << i;
    EXPECT_EQ(ListStateText(report), expected[i].state) << i;
  }
  EXPECT_EQ(run.lists[0].skipped, (std::array<size_t, CTrackerList::kSkipReasons>{1, 1, 0, 0, 1}));
  EXPECT_EQ(run.lists[3].download, good);
  // Only the lists with domains go into the filter, in their order.
  ASSERT_EQ(run.filter.lists().size(), 3u);
  EXPECT_EQ(run.filter.keep().size(), 1u);
  const struct {
    const char* site;
    std::wstring rule;
  } sites[] = {{"x.TRACK.example", L"https://good.example.org/l: track.example"},
               {"other.example", L"https://failed.example.org/l: other.example"},
               {"keep.track.example", L""}, {"www.pattern.example", L"*.pattern.example"}};
  for (const auto& s : sites) {
    const auto rule = run.filter.Find(std::string_view(s.site));
    EXPECT_EQ(rule ? *run.filter.Describe(*rule) : L"", s.rule) << s.site;
  }
}
