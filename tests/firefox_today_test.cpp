// Firefox's cookie database as today's versions write it (schema 17): expiry in milliseconds,
// and the container and partition of each cookie shown beside its site.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "sqlite_support.h"
#include "stores/firefox/firefox.h"
#include "support/temp_tree.h"

namespace {

TEST(FirefoxToday, ExpiryAndContextShowTheSameInEitherSchema) {
  const char* v17 = kFirefoxCookieSchemaV17;  // expiry in milliseconds; kFirefoxCookieSchema in seconds
  const struct { const char* schema; const char* origin_attributes; const char* context; } cases[] = {
      {v17, "", ""},
      {kFirefoxCookieSchema, "^userContextId=5", " (container 5)"},
      {v17, "^userContextId=2&partitionKey=%28https%2Cnews.example%29", " (container 2, partition https://news.example)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.origin_attributes);
    TempTree tree;
    tree.Write("cookies.sqlite", "");
    const int64_t expiry = platform::CurrentCalendarTime() + 400 * 86400;
    TestDb(tree.Path("cookies.sqlite")).Exec(c.schema);
    TestDb(tree.Path("cookies.sqlite")).Run("INSERT INTO moz_cookies (originAttributes, name, value, host, path, expiry) "
        "VALUES (?, 'id', 'v', '.tracker.example', '/', ?)", {c.origin_attributes, std::to_string(c.schema == v17 ? expiry * 1000 + 999 : expiry)});
    CFirefoxCookieArray items;
    ASSERT_EQ(ProcessFirefoxCookieDatabase(tree.Path("cookies.sqlite"), CCookieFilter(L"*.tracker.example\n"), items, false), 1);
    EXPECT_EQ(items[0].GetExpires(), L"1 year");
    EXPECT_EQ(items[0].GetDisplaySite(), platform::WideFromUtf8(std::string("tracker.example/") + c.context));
  }
}

TEST(FirefoxToday, OriginAttributesMalformedOrUnknownShowOnlyWhatIsReadable) {
  const struct { const char* attributes; const char* described; } cases[] = {
      {"userContextId=2", ""},  // no leading "^"
      {"^privateBrowsingId=0", ""},
      {"^privateBrowsingId=1&firstPartyDomain=news.example", "private window, first party news.example"},
      {"^partitionKey=%28https%2Cnews.example%2C8443%29", "partition https://news.example:8443"},
      {"^partitionKey=%28https%29", "partition (https)"},  // no host
      {"^partitionKey=%28https%2Cnews.example", "partition (https,news.example"},  // no ")"
      {"^partitionKey=%zz%2", "partition %zz%2"},  // escapes not hex, cut short
      {"^&&=&userContextId&unknown=1&userContextId=4", "container 4"},  // empty, keyless, unknown pairs
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeOriginAttributes(c.attributes), platform::WideFromUtf8(c.described)) << c.attributes;
}

}  // namespace
