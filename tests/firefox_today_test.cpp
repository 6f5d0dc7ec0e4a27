// Firefox's cookie database as today's versions write it (schema 17): expiry in
// milliseconds, and the container and partition of each cookie shown beside its
// site.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "sqlite_support.h"
#include "stores/firefox/firefox.h"
#include "support/temp_tree.h"

namespace {

struct RowCase {
  const char* what;
  const char* schema;  // kFirefoxCookieSchemaV17: expiry in milliseconds; else seconds
  int64_t days_left;
  const char* origin_attributes;
  const char* expires;  // GetExpires
  const char* site;     // GetDisplaySite
};

const char kPartition[] = "^partitionKey=%28https%2Cnews.example%29";

const RowCase kRows[] = {
    {"ms, 400 days", kFirefoxCookieSchemaV17, 400, "", "1 year", "tracker.example/"},
    {"seconds, 400 days", kFirefoxCookieSchema, 400, "", "1 year", "tracker.example/"},
    {"ms, 40 days", kFirefoxCookieSchemaV17, 40, "", "1 month", "tracker.example/"},
    {"seconds, 40 days", kFirefoxCookieSchema, 40, "", "1 month", "tracker.example/"},
    {"ms, expired", kFirefoxCookieSchemaV17, -3, "", "soon", "tracker.example/"},
    {"container", kFirefoxCookieSchemaV17, 400, "^userContextId=2", "1 year",
     "tracker.example/ (container 2)"},
    {"partition", kFirefoxCookieSchemaV17, 400, kPartition, "1 year",
     "tracker.example/ (partition https://news.example)"},
    {"both", kFirefoxCookieSchemaV17, 400, "^userContextId=2&partitionKey=%28https%2Cnews.example%29",
     "1 year", "tracker.example/ (container 2, partition https://news.example)"},
    {"container, schema 10", kFirefoxCookieSchema, 400, "^userContextId=5", "1 year",
     "tracker.example/ (container 5)"},
};

TEST(FirefoxToday, ExpiryAndContextShowTheSameInEitherSchema) {
  for (const RowCase& c : kRows) {
    SCOPED_TRACE(c.what);
    TempTree tree;
    tree.Write("cookies.sqlite", "");
    const bool milliseconds = c.schema == kFirefoxCookieSchemaV17;
    const int64_t expiry = platform::CurrentCalendarTime() + c.days_left * 86400 + 3600;
    {
      TestDb db(tree.Path("cookies.sqlite"));
      db.Exec(c.schema);
      db.Run("INSERT INTO moz_cookies (originAttributes, name, value, host, path, expiry) "
             "VALUES (?, 'id', 'v', '.tracker.example', '/', ?)",
             {c.origin_attributes, std::to_string(milliseconds ? expiry * 1000 + 999 : expiry)});
    }
    CFirefoxCookieArray items;
    ASSERT_EQ(ProcessFirefoxCookieDatabase(tree.Path("cookies.sqlite"),
                                           CCookieFilter(L"*.tracker.example\n"), items, false),
              1);
    EXPECT_EQ(items[0].GetExpires(), platform::WideFromUtf8(c.expires));
    EXPECT_EQ(items[0].GetDisplaySite(), platform::WideFromUtf8(c.site));
  }
}

TEST(FirefoxToday, OriginAttributesAreDescribedByWhatTheyHoldAndNothingElse) {
  const struct {
    const char* attributes;
    const char* described;
  } cases[] = {
      {"", ""},
      {"userContextId=2", ""},  // no leading "^"
      {"^", ""},
      {"^userContextId=2", "container 2"},
      {"^privateBrowsingId=1", "private window"},
      {"^privateBrowsingId=0", ""},
      {"^firstPartyDomain=news.example", "first party news.example"},
      {"^partitionKey=%28https%2Cnews.example%2C8443%29", "partition https://news.example:8443"},
      {"^partitionKey=%28https%29", "partition (https)"},
      {"^partitionKey=%28https%2Cnews.example", "partition (https,news.example"},
      {"^partitionKey=%zz%2", "partition %zz%2"},
      {"^&&=&userContextId&unknown=1&userContextId=4", "container 4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DescribeOriginAttributes(c.attributes), platform::WideFromUtf8(c.described))
        << c.attributes;
  }
}

}  // namespace
