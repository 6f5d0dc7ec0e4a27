// Tracker lists: the lines each form of list gives, and the files a list is read from.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "model/tracker_list.h"
#include "support/temp_tree.h"

using namespace std::string_literals;

TEST(TrackerListLines, EachFormGivesItsDomainsAndEverythingElseIsCountedByReason) {
  using Counts = std::array<size_t, CTrackerList::kSkipReasons>;  // in the order of Skip
  const std::string label(63, 'x'), labels = label + "." + label + "." + label + ".";  // 192
  const struct {
    std::string text;
    std::vector<std::string> domains;
    Counts skipped;
  } cases[] = {
      {"\xEF\xBB\xBF" "A.EXAMPLE\r\n# c\n! c\n[Adblock Plus 2.0]\n \t \r\n0.0.0.0 b.example\n"
       "127.0.0.1 c.example d.example # two\n:: e.example\n::1\tf.example #/$|^\n"
       "g.a.example.\n_h.i-1.de",
       {"a.example", "b.example", "c.example", "d.example", "e.example", "f.example", "g.a.example",
        "_h.i-1.de"}, {}},
      {"||a.example^\n||b.example^$third-party\n||C.example^$3p,third-party\n"
       "||d.example^$script\n||e.example/ads\n||f.example\n||*.g.example^\n/ads/*\n"
       "|https://h.example^\ni.example$popup\n||j.example^|\n@@||k.example^\n@@l.example\n"
       "m.example##.ad\nn.example,o.example#@#.ad\np.example#?#div\nq.example#%#js()\n##.ad\n"
       "0.0.0.0 r.example ## comment",
       {"a.example", "b.example", "c.example", "r.example"}, {0, 8, 2, 4, 0}},
      {"127.0.0.1 localhost\n::1 ip6-localhost\n0.0.0.0 0.0.0.0\n1.2.3.4\n0.0.0.0\ncom\nx.123\n"
       "bad!.example\nx..example\n.x.example\ntwo words.example\nfe80::1%lo0 y.example\n"
       "s\0.example\nz.example\0"s, {}, {14, 0, 0, 0, 0}},
      {labels + std::string(61, 'a') + "\n" + labels + std::string(62, 'b') + "\n" +
           std::string(64, 'c') + ".example\n" + std::string(100000, 'd') + "\n",
       {labels + std::string(61, 'a')}, {3, 0, 0, 0, 0}},
      {"u.example\nU.EXAMPLE\n0.0.0.0 u.example v.example u.example.\n||u.example^",
       {"u.example", "v.example"}, {0, 0, 0, 0, 4}},
  };
  for (const auto& c : cases) {
    const CTrackerList list(L"list", c.text);
    std::vector<std::string> domains;
    Counts skipped;
    for (size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(list.Find(domains.emplace_back(list.domain(i))), i);
    }
    for (size_t r = 0; r < skipped.size(); ++r) skipped[r] = list.skipped(CTrackerList::Skip(r));
    EXPECT_EQ(domains, c.domains) << c.text;
    EXPECT_EQ(skipped, c.skipped) << c.text;
  }
}

TEST(TrackerListFile, OnlyARegularFileOfEightBitTextWithinTheBoundIsRead) {
  namespace fs = std::filesystem;
  const TempTree tree;
  tree.Write("good", "0.0.0.0 a.example\n");
  tree.Write("utf16-bom", "\xFF\xFE" "a\0.\0b\0\n\0"s);
  tree.Write("utf16", "\0a\0.\0b\0\n"s);
  tree.Write("binary", "\0\0\0\x01\xFF\xFE\x7F\n# no domain\nlocalhost\n\x80\x90 \0\x01"s);
  tree.Write("huge", "a.example\n");
  fs::resize_file(tree.Native("huge"), kMaxListFileBytes + 1);  // sparse
  tree.MakeDir("folder");
  using E = ListFileError;
  std::vector<std::pair<std::string, E>> cases = {
      {"good", E::kNone},     {"missing", E::kMissing}, {"folder", E::kNotRegular},
      {"huge", E::kTooLarge}, {"utf16-bom", E::kUtf16}, {"utf16", E::kUtf16},
      {"binary", E::kNoDomains}};
  std::error_code error;
  fs::create_symlink(tree.Native("good"), tree.Native("link"), error);
  if (!error) cases.emplace_back("link", E::kLink);
#ifndef _WIN32
  if (mkfifo(tree.Native("fifo").c_str(), 0600) == 0) cases.emplace_back("fifo", E::kNotRegular);
#endif
  for (const auto& [file, expected] : cases) {
    CTrackerList list(L"old", "old.example");
    EXPECT_EQ(LoadTrackerList(tree.Path(file), L"mine", &list), expected) << file;
    // Only what was read is kept: the skip counts of a list without domains.
    const bool read = expected == E::kNone || expected == E::kNoDomains;
    EXPECT_EQ(list.name(), read ? L"mine" : L"") << file;
    EXPECT_EQ(list.size(), expected == E::kNone ? 1u : 0u) << file;
  }
}
