#include "platform/db/recordset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "common/error.h"
#include "platform/automation/object.h"
#include "tests/platform/db/db_fixture.h"
#include "tests/support/error_testing.h"

namespace tqs::db {
namespace {

using automation::Variant;
using automation::VariantType;
using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kNoCurrentRecord[] =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";

class RecordsetTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    connection_->ExecuteBatch(
        "CREATE TABLE ITEMS (NAME TEXT, STATUS SMALLINT, QTY INTEGER, PRICE REAL, "
        "                    STAMP DATETIME, NOTE TEXT DEFAULT 'none');"
        "CREATE TABLE I18NText (LOCALEID INTEGER, LABEL TEXT, TEXT TEXT, pagecontext TEXT);");
  }

  std::unique_ptr<Recordset> OpenItems(const std::string& sql, CursorType cursor,
                                       LockType lock = LockType::kOptimistic) {
    return Recordset::Open(sql, *connection_, cursor, lock);
  }

  std::vector<std::string> Names(Recordset& rs) {
    std::vector<std::string> names;
    for (; !rs.IsEOF(); rs.MoveNext()) names.push_back(rs.Field("NAME").AsText());
    return names;
  }
};

TEST_F(RecordsetTest, MapsValuesByDeclaredTypeAndKeepsNullApartFromEmpty) {
  connection_->Execute(
      "INSERT INTO ITEMS VALUES ('', 5, 3000000000, 1.5, '2026-12-08 14:10:42', NULL)");
  connection_->Execute("INSERT INTO ITEMS (QTY, STAMP) VALUES (7, 'soon')");
  auto rs = OpenItems("SELECT * FROM ITEMS", CursorType::kForwardOnly, LockType::kReadOnly);
  EXPECT_EQ(rs->RecordCount(), -1);
  EXPECT_EQ(rs->Field("name"), Variant(""));
  EXPECT_EQ(rs->Field("Status"), Variant(std::int16_t{5}));
  EXPECT_EQ(rs->Field(2), Variant(3000000000.0));
  EXPECT_EQ(rs->Field("PRICE"), Variant(1.5));
  using namespace std::chrono;
  EXPECT_EQ(rs->Field("STAMP"), Variant(DateTime{local_days{2026y / 12 / 8} + 14h + 10min + 42s}));
  EXPECT_TRUE(rs->Field("NOTE").IsNull());
  rs->MoveNext();
  EXPECT_TRUE(rs->Field("NAME").IsNull());
  EXPECT_TRUE(rs->Field("STATUS").IsNull());
  EXPECT_EQ(rs->Field("QTY"), Variant(std::int32_t{7}));
  EXPECT_EQ(rs->Field("STAMP"), Variant("soon"));  // not a date text: stays text
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(ErrorDescriptionOf([&] { rs->Field("NAME"); }), kNoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { rs->MoveNext(); }), error_number::kNoCurrentRecord);
  EXPECT_EQ(ErrorNumberOf([&] { rs->MoveFirst(); }), error_number::kOperationNotAllowed);
}

TEST_F(RecordsetTest, WritesDatesBooleansAndEmptyAsStoredValues) {
  connection_->Execute("INSERT INTO ITEMS (NAME) VALUES ('a')");
  auto rs = OpenItems("SELECT * FROM ITEMS", CursorType::kKeyset);
  using namespace std::chrono;
  rs->SetField("STAMP", Variant(DateTime{local_days{2027y / 1 / 2} + 3h + 4min + 5s}));
  rs->SetField("QTY", Variant(true));
  rs->SetField("NOTE", Variant());
  rs->SetField("NAME", Variant("x"));
  rs->Update();
  EXPECT_THAT(Column("SELECT STAMP || '|' || QTY || '|' || COALESCE(NOTE, '<null>') FROM ITEMS"),
              ElementsAre("2027-01-02 03:04:05|1|<null>"));
  EXPECT_EQ(rs->Field("QTY"), Variant(std::int32_t{1}));

  class Thing : public automation::Object {
    Variant Invoke(std::string_view, std::span<Variant>) override { return {}; }
  };
  EXPECT_EQ(ErrorNumberOf([&] {
              rs->SetField("NAME", Variant(automation::ObjectPtr(std::make_shared<Thing>())));
            }),
            error_number::kTypeMismatch);
}

TEST_F(RecordsetTest, NationalLiteralsCompareExactly) {
  connection_->Execute("INSERT INTO ITEMS (NAME, QTY) VALUES (N'O''Neil', 1)");
  connection_->Execute("INSERT INTO ITEMS (NAME, QTY) VALUES (N'o''neil', 2)");
  EXPECT_THAT(Column("SELECT QTY FROM ITEMS WHERE NAME = N'O''Neil'"), ElementsAre("1"));
  EXPECT_THAT(Column("SELECT NAME FROM ITEMS WHERE QTY = 1"), ElementsAre("O'Neil"));
  auto keyset = OpenItems("SELECT * FROM ITEMS WHERE NAME=N'o''neil'", CursorType::kKeyset);
  EXPECT_EQ(keyset->RecordCount(), 1);
  EXPECT_EQ(keyset->Field("QTY"), Variant(std::int32_t{2}));
}

TEST_F(RecordsetTest, KeysetHoldsKeysInOrderAndReadsEachRowWhenItBecomesCurrent) {
  connection_->ExecuteBatch(
      "INSERT INTO ITEMS (NAME, STATUS) VALUES ('c', 5); INSERT INTO ITEMS (NAME, STATUS) "
      "VALUES ('a', 5); INSERT INTO ITEMS (NAME, STATUS) VALUES ('x', 10); INSERT INTO ITEMS "
      "(NAME, STATUS) VALUES ('b', 5);");
  auto rs = OpenItems("SELECT * FROM ITEMS WHERE STATUS=5 ORDER BY NAME", CursorType::kKeyset);
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Field("NAME"), Variant("a"));

  // Changes after open: a row added by someone else is not part of the set; a row changed
  // meanwhile is read as it is now; a deleted one reads as no current record.
  auto other = Connection::Open(ServerString());
  other->Execute("INSERT INTO ITEMS (NAME, STATUS) VALUES ('aa', 5)");
  other->Execute("UPDATE ITEMS SET NOTE = 'changed' WHERE NAME = 'b'");
  other->Execute("DELETE FROM ITEMS WHERE NAME = 'c'");

  rs->MoveNext();
  EXPECT_EQ(rs->Field("NAME"), Variant("b"));
  EXPECT_EQ(rs->Field("NOTE"), Variant("changed"));
  rs->MoveNext();
  EXPECT_FALSE(rs->IsEOF());
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field("NAME"); }), error_number::kNoCurrentRecord);
  EXPECT_EQ(ErrorDescriptionOf([&] { rs->Field(0); }), kNoCurrentRecord);
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  rs->MoveFirst();
  EXPECT_EQ(rs->Field("NAME"), Variant("a"));
}

TEST_F(RecordsetTest, UpdateChangesOnlyTheCurrentRowAmongIdenticalRows) {
  connection_->ExecuteBatch(
      "INSERT INTO ITEMS (NAME, STATUS) VALUES ('same', 5);"
      "INSERT INTO ITEMS (NAME, STATUS) VALUES ('same', 5);");
  for (CursorType cursor : {CursorType::kKeyset, CursorType::kStatic, CursorType::kForwardOnly}) {
    SCOPED_TRACE(static_cast<int>(cursor));
    connection_->Execute("UPDATE ITEMS SET STATUS = 5");
    auto rs = OpenItems("SELECT NAME, STATUS FROM ITEMS ORDER BY rowid", cursor);
    rs->MoveNext();
    rs->SetField("STATUS", Variant(std::int16_t{10}));
    EXPECT_EQ(rs->Field("STATUS"), Variant(std::int16_t{10}));  // staged value reads back
    rs->Update();
    EXPECT_THAT(Column("SELECT STATUS FROM ITEMS ORDER BY rowid"), ElementsAre("5", "10"));
  }
}

TEST_F(RecordsetTest, AddNewOnATableAppendsTheRowAndMakesItCurrent) {
  connection_->Execute("INSERT INTO ITEMS (NAME) VALUES ('old')");
  auto rs = Recordset::Open("ITEMS", *connection_, CursorType::kKeyset, LockType::kOptimistic,
                            CommandType::kTable);
  rs->AddNew();
  EXPECT_TRUE(rs->Field("NAME").IsNull());
  rs->SetField("NAME", Variant("new"));
  rs->SetField("STATUS", Variant(std::int16_t{5}));
  rs->Update();
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Field("NAME"), Variant("new"));
  EXPECT_EQ(rs->Field("STATUS"), Variant(std::int16_t{5}));
  EXPECT_EQ(rs->Field("NOTE"), Variant("none"));  // the column default, read back
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_THAT(Column("SELECT NAME FROM ITEMS ORDER BY rowid"), ElementsAre("old", "new"));
}

TEST_F(RecordsetTest, CancelUpdateDropsStagedValues) {
  connection_->Execute("INSERT INTO ITEMS (NAME) VALUES ('kept')");
  auto rs = OpenItems("SELECT * FROM ITEMS", CursorType::kKeyset);
  rs->SetField("NAME", Variant("lost"));
  rs->CancelUpdate();
  EXPECT_EQ(rs->Field("NAME"), Variant("kept"));
  rs->AddNew();
  rs->SetField("NAME", Variant("never"));
  rs->CancelUpdate();
  rs->MoveNext();  // nothing staged any more, so nothing is written on the move
  EXPECT_THAT(Column("SELECT NAME FROM ITEMS"), ElementsAre("kept"));
}

TEST_F(RecordsetTest, MovingAwayFromStagedValuesWritesThem) {
  connection_->ExecuteBatch(
      "INSERT INTO ITEMS (NAME) VALUES ('a'); INSERT INTO ITEMS (NAME) VALUES ('b');");
  auto rs = OpenItems("SELECT * FROM ITEMS ORDER BY NAME", CursorType::kKeyset);
  rs->SetField("NOTE", Variant("saved"));
  rs->MoveNext();
  EXPECT_THAT(Column("SELECT NOTE FROM ITEMS ORDER BY NAME"), ElementsAre("saved", "none"));
}

TEST_F(RecordsetTest, FilterPicksExactlyTheRowsOfOneLabel) {
  connection_->ExecuteBatch(
      "INSERT INTO I18NText VALUES (1033, 'SLKRU05010', 'ten', 'P');"
      "INSERT INTO I18NText VALUES (1033, 'SLKRU0501', 'one', 'P');"
      "INSERT INTO I18NText VALUES (1033, 'SLKRU0502', 'two', 'P');");
  auto rs = OpenItems("SELECT * FROM I18NText WHERE pagecontext='P'", CursorType::kStatic);
  rs->SetFilter("LABEL='SLKRU0501'");
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Field("TEXT"), Variant("one"));
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());

  rs->SetFilter("LABEL='SLKRU0599'");
  EXPECT_TRUE(rs->IsBOF() && rs->IsEOF());
  rs->SetFilter("LABEL='SLKRU0502' OR LABEL='SLKRU05010'");
  EXPECT_EQ(rs->RecordCount(), 2);
  rs->SetFilter("");
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->Field("LABEL"), Variant("SLKRU05010"));
  EXPECT_THAT(ErrorDescriptionOf([&] { rs->SetFilter("LABEL=='x'"); }), HasSubstr("LABEL=='x'"));
}

TEST_F(RecordsetTest, DisconnectedStaticSetOutlivesItsConnection) {
  connection_->ExecuteBatch(
      "INSERT INTO I18NText VALUES (1033, 'SLKRU0501', 'one', 'P');"
      "INSERT INTO I18NText VALUES (1033, 'SLKRU0502', 'two', 'P');");
  auto labels = OpenItems("SELECT  * FROM i18nText WHERE  pagecontext='P' AND  localeid='1033'",
                          CursorType::kStatic);
  auto attached = OpenItems("SELECT * FROM I18NText", CursorType::kStatic);
  labels->Disconnect();
  connection_->Close();
  connection_.reset();

  labels->SetFilter("LABEL='SLKRU0502'");
  EXPECT_EQ(labels->Field("TEXT"), Variant("two"));
  EXPECT_EQ(ErrorNumberOf([&] { labels->SetField("TEXT", Variant("x")); }),
            error_number::kOperationNotAllowed);
  EXPECT_EQ(ErrorNumberOf([&] { attached->SetFilter(""); }), error_number::kObjectClosed);
}

TEST_F(RecordsetTest, AggregateIsReadForwardOnlyAndGivesNullOverNoRows) {
  auto max = OpenItems("SELECT MAX(QTY) FROM ITEMS WHERE NAME = N'none'", CursorType::kForwardOnly,
                       LockType::kReadOnly);
  ASSERT_FALSE(max->IsEOF());
  EXPECT_TRUE(max->Field(0).IsNull());

  // A keyset over an aggregate is served as a static read-only set.
  connection_->Execute("INSERT INTO ITEMS (QTY) VALUES (4)");
  auto keyset = OpenItems("SELECT MAX(QTY) AS M FROM ITEMS", CursorType::kKeyset);
  EXPECT_EQ(keyset->RecordCount(), 1);
  EXPECT_EQ(keyset->Field("m"), Variant(std::int32_t{4}));
  EXPECT_THAT(ErrorDescriptionOf([&] { keyset->SetField("M", Variant(std::int32_t{1})); }),
              HasSubstr("not a single table"));
}

TEST_F(RecordsetTest, OpenForwardOnlySetsOfOneTextReadIndependently) {
  connection_->ExecuteBatch(
      "INSERT INTO ITEMS (NAME) VALUES ('a'); INSERT INTO ITEMS (NAME) VALUES ('b');");
  const std::string sql = "SELECT NAME FROM ITEMS ORDER BY NAME";
  EXPECT_THAT(Column(sql), ElementsAre("a", "b"));  // leaves the statement in the cache
  auto first = OpenItems(sql, CursorType::kForwardOnly);
  first->MoveNext();
  auto second = OpenItems(sql, CursorType::kForwardOnly);
  EXPECT_EQ(first->Field(0), Variant("b"));
  EXPECT_THAT(Names(*second), ElementsAre("a", "b"));
}

TEST_F(RecordsetTest, ReportsMisuseWithTheColumnOrReason) {
  connection_->Execute("INSERT INTO ITEMS (NAME) VALUES ('a')");
  auto rs = OpenItems("SELECT NAME FROM ITEMS", CursorType::kKeyset, LockType::kReadOnly);
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field("QTY"); }), error_number::kItemNotFound);
  EXPECT_THAT(ErrorDescriptionOf([&] { rs->Field("QTY"); }), HasSubstr("QTY"));
  EXPECT_EQ(ErrorNumberOf([&] { rs->Field(1); }), error_number::kItemNotFound);
  EXPECT_THAT(ErrorDescriptionOf([&] { rs->SetField("NAME", Variant("b")); }),
              HasSubstr("read-only"));
  EXPECT_EQ(ErrorNumberOf([&] { rs->SetFilter("NAME='a'"); }), error_number::kOperationNotAllowed);
  rs->Close();
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_EQ(ErrorNumberOf([&] { rs->IsEOF(); }), error_number::kObjectClosed);
}

}  // namespace
}  // namespace tqs::db
