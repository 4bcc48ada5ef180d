#include <gtest/gtest.h>

#include <array>
#include <barrier>
#include <iostream>
#include <mutex>
#include <pugixml.hpp>
#include <string>
#include <thread>
#include <vector>

#include "common/error.h"
#include "platform/db/recordset.h"
#include "server/jobsheet.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/deep_xml.h"
#include "tests/support/error_testing.h"

namespace tqs::server {
namespace {

using automation::Variant;
using test_support::ErrorNumberOf;

class LastUsedNumbersTest : public testing::ServerDatabaseTest {
 protected:
  void Store(const char* values) {
    Connect()->Execute(std::string("INSERT INTO USERDEFAULTS (LOGN, EMNO, LASTJSID, "
                                   "LASTINVOICEID, LASTQUOTEID) VALUES ('jdoe', '1001', ") +
                       values + ")");
  }
  std::string Row() {
    return Scalar("SELECT LASTJSID || '/' || LASTINVOICEID || '/' || LASTQUOTEID FROM "
                  "USERDEFAULTS WHERE LOGN='jdoe'");
  }

  automation::ComponentRegistry registry_;
  JobSheet job_sheet_{registry_};
};

TQS_INSTANTIATE_FOR_BACKENDS(LastUsedNumbersTest);

TEST_P(LastUsedNumbersTest, BothSidesEndWithTheLargerOfEachPair) {
  Store("12, 3, 7");
  Variant xml = "<?xml version='1.0'?><recordids><order>10</order><invoice>5</invoice>"
                "<quotation>007</quotation></recordids>";
  EXPECT_TRUE(job_sheet_.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml).IsEmpty());
  EXPECT_EQ(xml.AsText(),
            "<recordids><order>12</order><invoice>5</invoice><quotation>007</quotation>"
            "</recordids>");
  EXPECT_EQ(Row(), "12/5/7");
}

// A number with a fraction is rounded as it is stored, and the answer says the number stored,
// so the laptop does not keep a counter the server never had.
TEST_P(LastUsedNumbersTest, ANumberWithAFractionIsAnsweredAsItWasStored) {
  Store("5, 1, 7");
  Variant xml =
      "<recordids><order>7.6</order><invoice>2.5</invoice><quotation>007</quotation>"
      "</recordids>";
  job_sheet_.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml);
  EXPECT_EQ(Row(), "8/2/7");
  EXPECT_EQ(
      xml.AsText(),
      "<recordids><order>8</order><invoice>2</invoice><quotation>007</quotation></recordids>");
}

TEST_P(LastUsedNumbersTest, NullColumnsAreReplaced) {
  Store("NULL, NULL, 9");
  Variant xml = "<recordids><order>4</order><invoice>6</invoice><quotation>8</quotation>"
                "</recordids>";
  job_sheet_.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml);
  EXPECT_EQ(xml.AsText(),
            "<recordids><order>4</order><invoice>6</invoice><quotation>9</quotation></recordids>");
  EXPECT_EQ(Row(), "4/6/9");
}

TEST_P(LastUsedNumbersTest, BadDocumentsAndFailuresChangeNothing) {
  Store("1, 2, 3");
  const std::string deep = "<recordids><order>" + test_support::Deep("1") +
                           "</order><invoice>1</invoice><quotation>1</quotation></recordids>";
  for (const std::string& text : {std::string("<recordids><order>40000</order><invoice>1</invoice>"
                                              "<quotation>1</quotation></recordids>"),
                                  std::string("<recordids><order>x</order><invoice>1</invoice>"
                                              "<quotation>1</quotation></recordids>"),
                                  std::string("<recordids><order>1</order><quotation>1</quotation>"
                                              "</recordids>"),
                                  std::string("not xml"), deep}) {
    Variant xml = text;
    // The unopenable database shows the document fails before the database is touched.
    EXPECT_TRUE(ErrorNumberOf([&] {
                  job_sheet_.UpdateLastUsedNumbersInServer(
                      "jdoe", "Provider=SQLite;Data Source=/nonexistent/x.db", xml);
                }).has_value())
        << text.substr(0, 80);
    EXPECT_EQ(xml.AsText(), text);
  }
  EXPECT_EQ(Row(), "1/2/3");

  // A database that cannot be opened answers false and leaves the document.
  Variant xml = "<recordids><order>1</order><invoice>1</invoice><quotation>1</quotation>"
                "</recordids>";
  const Variant result = job_sheet_.UpdateLastUsedNumbersInServer(
      "jdoe", "Provider=SQLite;Data Source=" + (folder_ / "none.db").string(), xml);
  EXPECT_EQ(result, Variant(false));
  EXPECT_EQ(xml.AsText(), "<recordids><order>1</order><invoice>1</invoice><quotation>1</quotation>"
                          "</recordids>");

  // A login without a row fails; a stored counter beyond 16 bits that is larger overflows.
  EXPECT_EQ(ErrorNumberOf([&] { job_sheet_.UpdateLastUsedNumbersInServer("o'hara", dsn_, xml); }),
            error_number::kNoCurrentRecord);
  Connect()->Execute("UPDATE USERDEFAULTS SET LASTINVOICEID = 70000");
  EXPECT_EQ(ErrorNumberOf([&] { job_sheet_.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml); }),
            error_number::kOverflow);
  EXPECT_EQ(Scalar("SELECT LASTJSID FROM USERDEFAULTS"), "1");
}

// Two web-tier threads synchronising the same login at the same moment, 100 times, each pair
// with other, increasing numbers, and each of the two calls bringing the larger number of a
// different counter (so each must keep what the other wrote). After every pair the row holds,
// for each counter, the largest number sent so far: a write that would lower a counter is
// refused (the row changed since it was read) and redone on the row as it is then. Each call's
// answer shows what it stored, so the row after a pair is the answer of the call that wrote
// last.
TEST_P(LastUsedNumbersTest, ConcurrentCallsNeverLowerACounter) {
  constexpr int kPairs = 100;
  Store("0, 0, 0");
  // Counters in the order order, invoice, quotation; thread 0 brings the larger order and
  // quotation, thread 1 the larger invoice.
  using Numbers = std::array<int, 3>;
  const auto sent = [](int thread, int pair) {
    const int low = 2 * pair + 1, high = 2 * pair + 2;
    return thread == 0 ? Numbers{high, low, high} : Numbers{low, high, low};
  };
  std::vector<std::array<Numbers, 2>> answers(kPairs);
  std::vector<std::string> failures;
  std::mutex failures_mutex;
  std::barrier start(3), end(3);
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      automation::ComponentRegistry registry;
      JobSheet job_sheet(registry);
      for (int pair = 0; pair < kPairs; ++pair) {
        const Numbers numbers = sent(t, pair);
        Variant xml = "<recordids><order>" + std::to_string(numbers[0]) + "</order><invoice>" +
                      std::to_string(numbers[1]) + "</invoice><quotation>" +
                      std::to_string(numbers[2]) + "</quotation></recordids>";
        start.arrive_and_wait();
        // Failures are recorded, not asserted here: the thread must reach every barrier.
        try {
          const Variant result = job_sheet.UpdateLastUsedNumbersInServer("jdoe", dsn_, xml);
          pugi::xml_document answer;
          if (!result.IsEmpty() || !answer.load_string(xml.AsText().c_str())) {
            throw Error(error_number::kGenericFailure, "unexpected answer " + xml.AsText());
          }
          const pugi::xml_node ids = answer.child("recordids");
          answers[pair][t] = {ids.child("order").text().as_int(),
                              ids.child("invoice").text().as_int(),
                              ids.child("quotation").text().as_int()};
        } catch (const Error& error) {
          const std::lock_guard<std::mutex> lock(failures_mutex);
          failures.push_back("pair " + std::to_string(pair) + ", thread " + std::to_string(t) +
                             ": " + error.what());
        }
        end.arrive_and_wait();
      }
    });
  }
  int lowered = 0;
  Numbers stored{};
  auto connection = Connect();
  for (int pair = 0; pair < kPairs; ++pair) {
    start.arrive_and_wait();
    end.arrive_and_wait();
    // The largest number sent so far, of every counter.
    const Numbers largest{2 * pair + 2, 2 * pair + 2, 2 * pair + 2};
    auto row = db::Recordset::Open(
        "SELECT LASTJSID, LASTINVOICEID, LASTQUOTEID FROM USERDEFAULTS WHERE LOGN='jdoe'",
        *connection);
    stored = {row->Field(0).AsInt32(), row->Field(1).AsInt32(), row->Field(2).AsInt32()};
    row->Close();
    if (stored != largest) ++lowered;
    EXPECT_TRUE(stored == answers[pair][0] || stored == answers[pair][1])
        << "pair " << pair << ": the row holds what neither call answered";
    for (int t = 0; t < 2; ++t) {
      for (int c = 0; c < 3; ++c) EXPECT_GE(answers[pair][t][c], sent(t, pair)[c]);
    }
  }
  for (auto& thread : threads) thread.join();
  EXPECT_TRUE(failures.empty()) << failures.size() << " calls failed, the first: "
                                << (failures.empty() ? "" : failures.front());
  std::cout << kPairs << " pairs of concurrent counter updates: " << lowered << " lowered ("
            << test_support::BackendName(GetParam()) << ")" << std::endl;
  RecordProperty("lowered", lowered);
  EXPECT_EQ(lowered, 0);
  EXPECT_EQ(stored, (Numbers{2 * kPairs, 2 * kPairs, 2 * kPairs}));
  EXPECT_EQ(Row(), std::to_string(2 * kPairs) + "/" + std::to_string(2 * kPairs) + "/" +
                       std::to_string(2 * kPairs));
}

}  // namespace
}  // namespace tqs::server
