// Many web-tier threads storing outboxes at once, on each backend: laptops of the same and of
// different employees, the same job sheets and hour lines re-sent by several of them at the same
// moment. Afterwards every document is stored exactly once, every re-sent one was answered as a
// conflict naming the stored number, and the numbers of each (employee, type, upload marker) are
// unique and run from 1 without gaps.
#include <gtest/gtest.h>

#include <barrier>
#include <map>
#include <pugixml.hpp>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/db/recordset.h"
#include "server/jobsheet.h"
#include "tests/server/server_database_fixture.h"

namespace tqs::server {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 10;
const char* const kEmployees[] = {"1001", "1002", "1003"};

// (employee, document type, upload marker, interaction id) -> document id.
using StoredRows = std::map<std::tuple<std::string, int, std::string, int>, std::string>;

// What one thread uploads in one round: a job sheet and an hour line that every thread of the
// employee sends in this round (re-sent documents), one job sheet and one hour line of its own,
// and a service inspection (never a conflict). Two upload markers alternate.
std::string Outbox(int thread, int round, std::string& marker) {
  marker = round % 2 == 0 ? "ON-A" : "ON-B";
  const std::string own = "T" + std::to_string(thread) + "R" + std::to_string(round);
  const std::string shared = "S" + std::to_string(round);
  const auto job_sheet = [&](const std::string& order) {
    return "<item interactionon='" + marker + "' id='" + order +
           "_0'><jobsheet><serviceorder id='" + order +
           "' actionsperformed='RDP'/></jobsheet></item>";
  };
  const auto hour = [&](const std::string& line) {
    return "<hour interactionon='" + marker + "' lineid='" + line + "'><sptm>1</sptm></hour>";
  };
  return "<businessdocuments><jobsheets>" + job_sheet(shared) + job_sheet(own) +
         "</jobsheets><generalhours>" + hour("L" + shared) + hour("L" + own) +
         "</generalhours><SERVICEINSPECTIONS><SERVICEINSPECTION><DOCINFO><INTERACTIONON>" + marker +
         "</INTERACTIONON></DOCINFO><ATTRIBUTES><ID>" + own + "</ID><CCFG>C</CCFG><CROB>" + own +
         "</CROB><OSEQ>1</OSEQ></ATTRIBUTES></SERVICEINSPECTION></SERVICEINSPECTIONS>"
         "</businessdocuments>";
}

class ConcurrentUploadTest : public testing::ServerDatabaseTest {
 protected:
  StoredRows ReadStoredRows() {
    StoredRows rows;
    auto connection = Connect();
    auto rs = db::Recordset::Open(
        "SELECT EMPLOYEEID, BUSINESSDOCUMENTTYPE, INTERACTIONON, INTERACTIONID, "
        "BUSINESSDOCUMENTID FROM CLIENTSERVERINTERACTION",
        *connection);
    for (; !rs->IsEOF(); rs->MoveNext()) {
      const auto key = std::make_tuple(rs->Field(0).AsText(), rs->Field(1).AsInt32(),
                                       rs->Field(2).AsText(), rs->Field(3).AsInt32());
      EXPECT_TRUE(rows.emplace(key, rs->Field(4).AsText()).second)
          << "number " << std::get<3>(key) << " given twice";
    }
    return rows;
  }
};

TQS_INSTANTIATE_FOR_BACKENDS(ConcurrentUploadTest);

// One answered item of an upload feedback.
struct Answer {
  std::string element;  // jobsheet, hour, SERVICEINSPECTION
  std::string marker;
  int id;
  std::string header;
  std::string error_type;
  std::string error_desc;
};

// The items of an upload's feedback; one "upload failed" item when it is not a feedback.
std::vector<Answer> Answers(bool stored, const automation::Variant& result) {
  pugi::xml_document feedback;
  if (!stored || !feedback.load_string(result.AsText().c_str())) {
    return {{"", "", 0, "", "upload failed", result.AsText()}};
  }
  std::vector<Answer> answers;
  for (pugi::xml_node section : feedback.document_element().children()) {
    for (pugi::xml_node item : section.children()) {
      answers.push_back({item.name(), item.attribute("interactionon").value(),
                         item.attribute("interactionid").as_int(),
                         item.attribute("headerid").value(), item.attribute("errortype").value(),
                         item.attribute("errordesc").value()});
    }
  }
  return answers;
}

// Two web-tier threads take outboxes of the same employee holding the same documents of two
// upload markers, one thread with the first marker's documents first, the other with the
// second's first. Each outbox holds the numbering locks of both markers until it commits; taken
// in the order of the outbox they would deadlock (PostgreSQL would end one upload with an
// error). Every document is stored once: one thread is answered "stored", the other
// "conflict" with the same number.
TEST_P(ConcurrentUploadTest, OutboxesOfTheSameDocumentsInOppositeOrderDoNotDeadlock) {
  constexpr int kRoundsOpposed = 12;
  const auto outbox = [](int round, bool reversed) {
    const std::string first = "A" + std::to_string(round);
    const std::string second = "B" + std::to_string(round);
    std::string sheets[2];
    std::string hours[2];
    for (int i = 0; i < 2; ++i) {
      const std::string& marker = i == 0 ? first : second;
      for (int n = 0; n < 5; ++n) {
        const std::string order = marker + "O" + std::to_string(n);
        sheets[i] += "<item interactionon='" + marker + "' id='" + order +
                     "_0'><jobsheet><serviceorder id='" + order +
                     "' actionsperformed='RDP'/></jobsheet></item>";
        hours[i] += "<hour interactionon='" + marker + "' lineid='" + order + "'/>";
      }
    }
    const int a = reversed ? 1 : 0;
    return "<businessdocuments><jobsheets>" + sheets[a] + sheets[1 - a] +
           "</jobsheets><generalhours>" + hours[a] + hours[1 - a] +
           "</generalhours></businessdocuments>";
  };
  std::vector<Answer> answers[2];
  std::barrier round_start(2);
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      automation::ComponentRegistry components;
      JobSheet job_sheet(components);
      for (int round = 0; round < kRoundsOpposed; ++round) {
        round_start.arrive_and_wait();
        automation::Variant result;
        const bool stored =
            job_sheet.StoreOutboxContent(outbox(round, t == 1), "1001", dsn_, result);
        for (Answer& answer : Answers(stored, result)) answers[t].push_back(std::move(answer));
      }
    });
  }
  for (auto& thread : threads) thread.join();

  // Per document: the number it was stored under, by the thread that stored it.
  std::map<std::tuple<std::string, std::string, std::string>, std::vector<int>> stored;
  std::map<std::tuple<std::string, std::string, std::string>, std::vector<int>> conflicts;
  for (const auto& list : answers) {
    ASSERT_EQ(list.size(), std::size_t{kRoundsOpposed * 20});
    for (const Answer& answer : list) {
      ASSERT_TRUE(answer.error_type.empty() || answer.error_type == "conflict")
          << answer.header << ": " << answer.error_type << " " << answer.error_desc;
      auto& ids = answer.error_type.empty() ? stored : conflicts;
      ids[{answer.element, answer.marker, answer.header}].push_back(answer.id);
    }
  }
  EXPECT_EQ(stored.size(), std::size_t{kRoundsOpposed * 20});
  for (const auto& [document, ids] : stored) {
    ASSERT_EQ(ids.size(), 1u) << std::get<2>(document) << " stored twice";
    EXPECT_EQ(conflicts[document], ids) << std::get<2>(document);
  }
  EXPECT_EQ(ReadStoredRows().size(), std::size_t{kRoundsOpposed * 20});
}

// One laptop uploads a long outbox (one transaction that holds the database's write lock on
// SQLite while it runs) while other laptops upload short ones: they wait for it and are stored,
// none fails with a locked database.
TEST_P(ConcurrentUploadTest, ALongOutboxDelaysOtherUploadsWithoutFailingThem) {
  constexpr int kLongItems = 3000;
  constexpr int kShortUploaders = 4;
  constexpr int kShortUploads = 10;
  std::string long_outbox = "<businessdocuments><generalhours>";
  for (int n = 0; n < kLongItems; ++n) {
    long_outbox +=
        "<hour interactionon='LONG' lineid='L" + std::to_string(n) + "'><sptm>1</sptm></hour>";
  }
  long_outbox += "</generalhours></businessdocuments>";

  std::vector<std::vector<Answer>> answers(kShortUploaders + 1);
  std::barrier start(kShortUploaders + 1);
  std::vector<std::thread> threads;
  for (int t = 0; t <= kShortUploaders; ++t) {
    threads.emplace_back([&, t] {
      automation::ComponentRegistry components;
      JobSheet job_sheet(components);
      start.arrive_and_wait();
      const int uploads = t == 0 ? 1 : kShortUploads;
      for (int u = 0; u < uploads; ++u) {
        std::string marker;
        const std::string outbox = t == 0 ? long_outbox : Outbox(t, u, marker);
        automation::Variant result;
        const bool stored = job_sheet.StoreOutboxContent(
            outbox, t == 0 ? "2001" : "300" + std::to_string(t), dsn_, result);
        for (Answer& answer : Answers(stored, result)) answers[t].push_back(std::move(answer));
      }
    });
  }
  for (auto& thread : threads) thread.join();

  std::size_t answered = 0;
  for (const auto& list : answers) {
    for (const Answer& answer : list) {
      ++answered;
      ASSERT_EQ(answer.error_type, "") << answer.header << ": " << answer.error_desc;
    }
  }
  EXPECT_EQ(answered, std::size_t{kLongItems + kShortUploaders * kShortUploads * 5});
  EXPECT_EQ(ReadStoredRows().size(), answered);
}

TEST_P(ConcurrentUploadTest, EveryDocumentIsStoredOnceUnderAGapFreeNumber) {
  struct Feedback {
    std::string employee;
    int type;
    std::string marker;
    int id;
    std::string document;
    std::string error_type;
    std::string error_desc;
  };
  std::vector<std::vector<Feedback>> feedback(kThreads);
  // Every round starts on all threads at once, so the re-sent documents of a round arrive
  // together.
  std::barrier round_start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      automation::ComponentRegistry components;
      JobSheet job_sheet(components);
      const std::string employee = kEmployees[t % 3];
      for (int round = 0; round < kRounds; ++round) {
        round_start.arrive_and_wait();
        std::string marker;
        automation::Variant result;
        const bool stored =
            job_sheet.StoreOutboxContent(Outbox(t, round, marker), employee, dsn_, result);
        pugi::xml_document answer;
        // Failures are recorded, not asserted here: the thread must reach every barrier.
        if (!stored || !answer.load_string(result.AsText().c_str())) {
          feedback[t].push_back({employee, 0, marker, 0, "", "upload failed", result.AsText()});
          continue;
        }
        for (pugi::xml_node section : answer.document_element().children()) {
          const std::string name = section.name();
          const int type = name == "jobsheets" ? 5 : name == "generalhours" ? 10 : 15;
          for (pugi::xml_node item : section.children()) {
            std::string document = item.attribute("headerid").value();
            if (type == 5) document += "_0";
            if (type == 15) document = "C_" + document + "_1";
            feedback[t].push_back({employee, type, item.attribute("interactionon").value(),
                                   item.attribute("interactionid").as_int(), document,
                                   item.attribute("errortype").value(),
                                   item.attribute("errordesc").value()});
          }
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();

  // Each document was stored by exactly one upload; every other upload of it was told that it
  // is a conflict, under the number it was stored with.
  StoredRows told_stored;
  std::map<std::tuple<std::string, int, std::string, std::string>, std::set<int>> conflicts;
  std::size_t answers = 0;
  for (const auto& list : feedback) {
    for (const Feedback& item : list) {
      ++answers;
      ASSERT_TRUE(item.error_type.empty() || item.error_type == "conflict")
          << item.document << ": " << item.error_type << " " << item.error_desc;
      if (item.error_type.empty()) {
        EXPECT_TRUE(told_stored
                        .emplace(std::make_tuple(item.employee, item.type, item.marker, item.id),
                                 item.document)
                        .second)
            << item.document << " told number " << item.id << " given before";
      } else {
        conflicts[{item.employee, item.type, item.marker, item.document}].insert(item.id);
      }
    }
  }
  EXPECT_EQ(answers, std::size_t{kThreads * kRounds * 5});

  const StoredRows stored = ReadStoredRows();
  EXPECT_EQ(stored, told_stored);
  std::set<std::tuple<std::string, int, std::string, std::string>> documents;
  for (const auto& [key, document] : stored) {
    const auto& [employee, type, marker, id] = key;
    EXPECT_TRUE(documents.emplace(employee, type, marker, document).second)
        << document << " of " << employee << " stored twice";
  }
  for (const auto& [document, ids] : conflicts) {
    const auto& [employee, type, marker, id_text] = document;
    ASSERT_EQ(ids.size(), 1u) << id_text;
    EXPECT_EQ(stored.at({employee, type, marker, *ids.begin()}), id_text);
  }

  // Per employee: the shared job sheet and hour line of each round once, plus every thread's
  // own ones and inspections; numbered 1..n in each (employee, type, marker).
  std::map<std::tuple<std::string, int, std::string>, std::vector<int>> numbers;
  for (const auto& [key, document] : stored) {
    const auto& [employee, type, marker, id] = key;
    numbers[{employee, type, marker}].push_back(id);
  }
  std::size_t expected_rows = 0;
  for (int e = 0; e < 3; ++e) {
    const int threads_of_employee = (kThreads - e + 2) / 3;
    expected_rows += kRounds * (2 + 3 * threads_of_employee);
  }
  EXPECT_EQ(stored.size(), expected_rows);
  for (const auto& [scope, ids] : numbers) {
    for (std::size_t i = 0; i < ids.size(); ++i) {
      ASSERT_EQ(ids[i], static_cast<int>(i) + 1)
          << std::get<0>(scope) << "/" << std::get<1>(scope) << "/" << std::get<2>(scope);
    }
  }
}

}  // namespace
}  // namespace tqs::server
