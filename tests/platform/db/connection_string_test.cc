#include "platform/db/connection_string.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error.h"
#include "tests/support/error_testing.h"

namespace tqs::db {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::HasSubstr;

TEST(ConnectionStringTest, ReadsProviderAndDataSource) {
  struct Case {
    const char* text;
    ProviderKind provider;
    const char* data_source;
  };
  const Case cases[] = {
      {"Provider=SQLite;Data Source=/srv/tqs/server.db", ProviderKind::kSqlite,
       "/srv/tqs/server.db"},
      {"  provider = sqlite ; DATA SOURCE =  /a b/c.db  ;", ProviderKind::kSqlite, "/a b/c.db"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=C:\\x\\Client.mdb",
       ProviderKind::kJet, "C:\\x\\Client.mdb"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=pw;Data Source=c.mdb",
       ProviderKind::kJet, "c.mdb"},
      {"Provider=SQLite;Data Source=\"/tmp/a;b.db\"", ProviderKind::kSqlite, "/tmp/a;b.db"},
      {"Provider=SQLite;Data Source='it''s.db'", ProviderKind::kSqlite, "it's.db"},
      {"Provider=SQLite;;Data Source=first.db;Data Source=last.db", ProviderKind::kSqlite,
       "last.db"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ConnectionString parsed = ConnectionString::Parse(c.text);
    EXPECT_EQ(parsed.provider(), c.provider);
    EXPECT_EQ(parsed.Find("data source"), c.data_source);
  }
}

TEST(ConnectionStringTest, KeepsPostgreSqlKeysForItsBackend) {
  const ConnectionString parsed = ConnectionString::Parse(
      "Provider=PostgreSQL;Host=db1;Port=5433;Database=tqs;User ID=broker;Password='a;b'");
  EXPECT_EQ(parsed.provider(), ProviderKind::kPostgreSql);
  EXPECT_EQ(parsed.ProviderName(), "PostgreSQL");
  EXPECT_EQ(parsed.Find("user id"), "broker");
  EXPECT_EQ(parsed.Find("PASSWORD"), "a;b");
  EXPECT_EQ(parsed.Find("Data Source"), std::nullopt);
}

TEST(ConnectionStringTest, RejectsMalformedStringsNamingTheProblem) {
  struct Case {
    const char* text;
    std::int32_t number;
    const char* named;
  };
  const Case cases[] = {
      {"Provider=SQLite;DataSource", error_number::kConnectionInvalid, "'DataSource'"},
      {"Provider=SQLite;=x.db", error_number::kConnectionInvalid, "empty key"},
      {"Provider=SQLite;Data Source=\"x.db", error_number::kConnectionInvalid, "'Data Source'"},
      {"Provider=SQLite;Data Source='x.db' y", error_number::kConnectionInvalid, "'Data Source'"},
      {"Data Source=x.db", error_number::kConnectionInvalid, "Provider"},
      {"", error_number::kConnectionInvalid, "Provider"},
      {"Provider=SQLite", error_number::kConnectionInvalid, "Data Source"},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=  ", error_number::kConnectionInvalid,
       "Data Source"},
      {"Provider=SQLOLEDB;Data Source=x", error_number::kProviderNotFound, "'SQLOLEDB'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ErrorNumberOf([&] { ConnectionString::Parse(c.text); }), c.number);
    EXPECT_THAT(ErrorDescriptionOf([&] { ConnectionString::Parse(c.text); }), HasSubstr(c.named));
  }
}

}  // namespace
}  // namespace tqs::db
