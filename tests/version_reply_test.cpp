// The update server's request address, the reply rules and the once-per-start gate.
#include <gtest/gtest.h>

#include "update/version_reply.h"

namespace {

struct Reply {
  bool ok = false;
  uint32_t build = 0;
  std::string address;
};

Reply Check(const std::string& text, uint32_t current = 41) {
  Reply reply;
  reply.ok = false;
  reply.ok = CheckVersionReply(text.data(), text.size(), current, &reply.build, &reply.address);
  return reply;
}

}  // namespace

TEST(VersionCheck, ParseBuildTakesTheFourthNumber) {
  EXPECT_EQ(ParseBuild("3.1.4.59"), 59u);
  EXPECT_EQ(ParseBuild("3.0"), 0u);
  EXPECT_EQ(ParseBuild(""), 0u);
  EXPECT_EQ(ParseBuild("1.2.3.4 trailing"), 4u);
  EXPECT_EQ(ParseBuild(nullptr), 0u);
}

TEST(VersionCheck, RequestAddress) {
  OsInfo os;
  os.major = 5;
  os.minor = 1;
  os.build = 2600;
  os.service_pack_major = 3;
  os.service_pack_minor = 0;
  os.processors = 2;
  os.architecture = 0;
  EXPECT_EQ(FormatVersionCheckUrl(kUpdateHost, kUpdatePath, kUpdateProduct, "3.1.4.59", os),
            "http://update.trackscrub.example/versioncheck.asp?product=trackscrub&version=3.1.4.59"
            "&os=5.1.2600.3.0.2.0");
  EXPECT_EQ(FormatVersionCheckUrl(std::string(300, 'h'), "p", "x", "1", os).size(), 255u);
}

TEST(VersionCheck, NewerBuildIsDelivered) {
  const Reply r = Check("ZR4K-VERSIONRESPONSE\n2.6.1.42\nhttp://x.example/get\nignored");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.build, 42u);
  EXPECT_EQ(r.address, "http://x.example/get");
}

TEST(VersionCheck, TrailingWhiteSpaceIsCutFromTheAddress) {
  const Reply r = Check("ZR4K-VERSIONRESPONSE\n2.6.1.42\nhttps://x.example/a b \r\n");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.address, "https://x.example/a");
}

TEST(VersionCheck, RepliesThatReportNothing) {
  const char* bad[] = {
      "ZR4K-VERSIONRESPONSE\n2.7.0.41\nhttp://x.example/\n",   // only the build counts
      "ZR4K-VERSIONRESPONSE\n2.6.0.40\nhttp://x.example/\n",   // older
      "ZR4K-VERSIONRESPONSE\r\n2.6.1.42\r\nhttp://x.example/\r\n",  // CR LF
      "ZR4K-VERSIONRESPONSE\n2.6.1.42\nhttp://x.example/",      // no third LF
      "ZR4K-VERSIONRESPONSE\n2.6.1.42\nHTTP://x.example/\n",    // upper-case scheme
      "ZR4K-VERSIONRESPONSE\n2.6.1.42\nftp://x.example/\n",
      "zr4k-versionresponse\n2.6.1.42\nhttp://x.example/\n",
      "ZR4K-VERSIONRESPONSE \n2.6.1.42\nhttp://x.example/\n",
      "ZR4K-VERSIONRESPONSE\n3.0\nhttp://x.example/\n",
      "",
      "no line feed at all",
  };
  for (const char* text : bad) EXPECT_FALSE(Check(text).ok) << text;
}

TEST(VersionCheck, BinaryRepliesAreReadWithinTheirBytes) {
  std::string junk;
  for (int i = 0; i < 1023; ++i) junk += static_cast<char>((i * 37) % 256);
  EXPECT_FALSE(Check(junk).ok);
  EXPECT_FALSE(Check(std::string(1023, 'x')).ok);
  // The reply is text up to its first NUL: a NUL before the third line feed cuts a line.
  const struct {
    std::string reply;
    bool ok;
  } nuls[] = {
      {std::string("ZR4K-VERSIONRESPONSE\n2.6.1.42\nhttp://a\0b\n", 41), false},
      {std::string("ZR4K-VERSIONRESPONSE\n2.6.1.42\0\nhttp://a\n", 40), false},
      {std::string("ZR4K-VERSIONRESPONSE\n2.6.1.42\nhttp://a\n\0rest", 44), true},
  };
  for (const auto& c : nuls) EXPECT_EQ(Check(c.reply).ok, c.ok) << c.reply.size();
  const Reply control = Check("ZR4K-VERSIONRESPONSE\n2.6.1.42\nhttp://a\x01\x7f" "b\n");
  ASSERT_TRUE(control.ok);
  EXPECT_EQ(control.address, "http://a\x01\x7f" "b");
}

TEST(VersionCheck, GateNeedsTwoMinuteBoundaries) {
  const uint32_t now = VersionCheckMinute(1'700'000'000);
  EXPECT_EQ(now, 28'333'333u);
  EXPECT_FALSE(IsVersionCheckDue(now, now));
  EXPECT_FALSE(IsVersionCheckDue(now - 1, now));
  EXPECT_TRUE(IsVersionCheckDue(now - 2, now));
  EXPECT_TRUE(IsVersionCheckDue(0, now));
}
