// Firefox's cookie database as today's versions write it (schema 17): expiry in
// milliseconds, and the container and partition of each cookie shown beside its
// site.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "sqlite_support.h"
#include "stores/firefox/firefox.h"
#include "support/temp_tree.h"

namespace {

TEST(FirefoxToday, ExpiryAndContextShowTheSameInEitherSchema) {
  const char* v17 = kFirefoxCookieSchemaV17;  // expiry in milliseconds; the other in seconds
  const char* v10 = kFirefoxCookieSchema;
  const struct {
    const char* schema;
    int64_t days_left;
    const char* origin_attributes;
    const char* expires;  // GetExpires
    const char* context;  // GetDisplaySite after "tracker.example/"
  } cases[] = {
      {v17, 400, "", "1 year", ""},
      {v10, 400, "", "1 year", ""},
      {v17, 40, "", "1 month", ""},
      {v10, 40, "", "1 month", ""},
      {v17, -3, "", "soon", ""},
      {v17, 400, "^userContextId=2", "1 year", " (container 2)"},
      {v17, 400, "^partitionKey=%28https%2Cnews.example%29", "1 year", " (partition https://news.example)"},
      {v17, 400, "^userContextId=2&partitionKey=%28https%2Cnews.example%29", "1 year",
       " (container 2, partition https://news.example)"},
      {v10, 400, "^userContextId=5", "1 year", " (container 5)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.schema == v17 ? "ms " : "s ") + std::to_string(c.days_left) +
                 c.origin_attributes);
    TempTree tree;
    tree.Write("cookies.sqlite", "");
    const int64_t expiry = platform::CurrentCalendarTime() + c.days_left * 86400 + 3600;
    {
      TestDb db(tree.Path("cookies.sqlite"));
      db.Exec(c.schema);
      db.Run("INSERT INTO moz_cookies (originAttributes, name, value, host, path, expiry) "
             "VALUES (?, 'id', 'v', '.tracker.example', '/', ?)",
             {c.origin_attributes, std::to_string(c.schema == v17 ? expiry * 1000 + 999 : expiry)});
    }
    CFirefoxCookieArray items;
    ASSERT_EQ(ProcessFirefoxCookieDatabase(tree.Path("cookies.sqlite"),
                                           CCookieFilter(L"*.tracker.example\n"), items, false),
              1);
    EXPECT_EQ(items[0].GetExpires(), platform::WideFromUtf8(c.expires));
    EXPECT_EQ(items[0].GetDisplaySite(), platform::WideFromUtf8(std::string("tracker.example/") + c.context));
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
