// Exactly once into the ERP. Six job sheets of one engineer are processed by an ERP that keeps a
// ledger of what it booked; while it books the third, a fault strikes between the ERP's booking
// and the broker's row update: the server database is write-locked beyond the busy timeout, the
// disk is full, the connection is ended (PostgreSQL), the broker is killed (before the booking,
// after it, while the answer is read), or the ERP answers a return value that is not a number.
// The fault goes away and two more passes run. Whatever struck, no document is booked twice; an
// ERP that recognises a replay by its idempotency key books every document once, and for one that
// does not, the struck document is left in doubt for an operator instead of being sent again.
//
// The test prints the table of each backend: fault x ERP -> uploaded, booked, in doubt, booked
// twice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/erp/contract.h"
#include "common/erp/job_sheets.h"
#include "tests/broker/document_test_bed.h"
#include "tests/reliability/faulty_sqlite_vfs.h"

namespace tqs::broker {
namespace {

namespace js = erp::job_sheets;
using automation::Variant;
using testing::DocumentTestBed;

constexpr int kDocuments = 6;
// The last, so that no later document waits out a lock in its turn.
constexpr int kStruckDocument = kDocuments;

enum class Fault {
  kWriteLocked,          // SQLite: the write lock is held by someone else beyond the busy timeout
  kDiskFull,             // SQLite: no space left
  kConnectionEnded,      // PostgreSQL: the server ends the broker's session
  kKilledBeforeBooking,  // the broker dies inside the ERP call, before the ERP booked
  kKilledAfterBooking,   // the broker dies inside the ERP call, after the ERP booked
  kKilledReadingAnswer,  // the broker dies after the ERP answered, before the row update
  kNonNumericReturn,     // the ERP's return value is not a number
};

const char* Name(Fault fault) {
  switch (fault) {
    case Fault::kWriteLocked:
      return "write lock beyond busy timeout";
    case Fault::kDiskFull:
      return "disk full";
    case Fault::kConnectionEnded:
      return "connection lost";
    case Fault::kKilledBeforeBooking:
      return "killed before the booking";
    case Fault::kKilledAfterBooking:
      return "killed after the booking";
    case Fault::kKilledReadingAnswer:
      return "killed reading the answer";
    case Fault::kNonNumericReturn:
      return "non-numeric return value";
  }
  return "?";
}

// What ends the broker's process at once: it is no std::exception, so no handler of the broker
// takes it, and nothing of the pass runs after it.
struct Killed {};

// The ERP's side: every document it booked, and the keys it has seen.
struct Ledger {
  std::map<std::string, int> bookings;  // document id -> times booked
  std::set<std::string> keys;
  std::string key;  // the key handed for the call under way
  int replays = 0;
};

struct CaseResult {
  int uploaded = 0;
  int booked = 0;
  int in_doubt = 0;
  int booked_twice = 0;
};

class ExactlyOnceTest : public testing::OnEachBackend {
 protected:
  // Runs one case and returns its counts.
  CaseResult Run(Fault fault, bool erp_takes_keys) {
    // Each try on a locked database waits out the busy timeout: one is enough to show it.
    SaveRetry retry = testing::ImpatientRetry();
    if (fault == Fault::kWriteLocked) retry.tries = 1;
    DocumentTestBed bed(GetParam(), RegionalSettings::EnglishUS(),
                        automation::ComponentOptions{.accepts_idempotency_keys = erp_takes_keys},
                        std::move(retry));
    for (int i = 1; i <= kDocuments; ++i) {
      bed.AddJobSheet(std::to_string(4700 + i) + "_0",
                      "<jobsheet><serviceorder id='SO" + std::to_string(i) +
                          "' origin='ERP' actionsperformed='RDP' invoiceid=''/></jobsheet>");
    }
    bed.AnswerProcessJobSheet({Variant(std::int32_t{0})});

    auto ledger = std::make_shared<Ledger>();
    bool armed = true;
    int calls = 0;
    test_support::FaultySqliteVfs vfs;
    frmTQSRemoteBroker& window = bed.window();
    const auto strike = [&](Fault at) {
      if (!armed || fault != at) return;
      armed = false;
      switch (fault) {
        case Fault::kWriteLocked:
          vfs.Arm(test_support::StorageFault::kLocked);
          break;
        case Fault::kDiskFull:
          vfs.Arm(test_support::StorageFault::kDiskFull);
          break;
        case Fault::kConnectionEnded: {
          auto pid = db::Recordset::Open("SELECT pg_backend_pid() AS PID", *window.m_oConnection);
          const std::string backend = pid->Field("PID").AsText();
          pid->Close();
          bed.installation().Execute("SELECT pg_terminate_backend(" + backend + ")");
          break;
        }
        case Fault::kKilledBeforeBooking:
        case Fault::kKilledAfterBooking:
        case Fault::kKilledReadingAnswer:
          throw Killed{};
        case Fault::kNonNumericReturn:
          break;
      }
    };
    bool struck_answer = false;

    auto& erp = bed.erp();
    erp.OnCall("ioState", erp::kSetIdempotencyKey, [ledger](std::span<Variant> args) {
      ledger->key = args[0].AsText();
      return Variant();
    });
    auto errors = std::make_shared<Variant>();
    erp.OnCall(
        "JobSheetsManager", js::manager::kProcessJobSheet,
        [&, ledger, errors](std::span<Variant> args) {
          const std::string document = window.m_oInteractions->Field("BUSINESSDOCUMENTID").AsText();
          const bool struck_now = ++calls == kStruckDocument;
          if (struck_now) strike(Fault::kKilledBeforeBooking);
          const std::string key = std::exchange(ledger->key, "");
          if (!key.empty() && ledger->keys.count(key)) {
            ++ledger->replays;
          } else {
            ++ledger->bookings[document];
            if (!key.empty()) ledger->keys.insert(key);
          }
          struck_answer = struck_now || (fault == Fault::kNonNumericReturn && ledger->replays > 0 &&
                                         document == std::to_string(4700 + kStruckDocument) + "_0");
          if (struck_now) {
            strike(Fault::kWriteLocked);
            strike(Fault::kDiskFull);
            strike(Fault::kConnectionEnded);
            strike(Fault::kKilledAfterBooking);
          }
          *errors = args[4];
          return Variant(erp.NewObject("Q72dVXRsvordJobSheets.ProcessOutput"));
        });
    erp.OnCall("ProcessOutput", js::process_output::kGetOErrorProcessStructForProcessJobSheet,
               [errors](std::span<Variant>) { return *errors; });
    erp.OnCall("ProcessOutput", js::process_output::kGetOReturnValue,
               [&](std::span<Variant>) -> Variant {
                 if (struck_answer) {
                   strike(Fault::kKilledReadingAnswer);
                   if (fault == Fault::kNonNumericReturn) return Variant("n/a");
                 }
                 return Variant(std::int32_t{0});
               });

    try {
      bed.RunPass();
    } catch (const Killed&) {
      // The process is gone: nothing staged is written, its lock and connection go with it.
      if (window.m_oInteractions) window.m_oInteractions->CancelUpdate();
      window.m_oInteractions.reset();
      window.m_oConnection.reset();
    }
    vfs.Disarm();
    bed.RunPass();
    bed.RunPass();

    CaseResult result;
    result.uploaded = kDocuments;
    for (const auto& [document, times] : ledger->bookings) {
      ++result.booked;
      if (times > 1) ++result.booked_twice;
    }
    result.in_doubt = std::stoi(bed.installation().Scalar(
        "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 5 AND "
        "ATTEMPTOPEN = 1"));
    const int finished = std::stoi(bed.installation().Scalar(
        "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS = 10"));
    // Every document the ERP booked and the broker did not leave in doubt is finished.
    EXPECT_EQ(finished + result.in_doubt, kDocuments)
        << Name(fault) << (erp_takes_keys ? " (keys)" : "") << "\n"
        << window.txtProcessStatus.text();
    return result;
  }
};
TQS_INSTANTIATE_FOR_BACKENDS(ExactlyOnceTest);

TEST_P(ExactlyOnceTest, NoDocumentIsBookedTwiceWhateverStrikesBetweenTheBookingAndTheRowUpdate) {
  const bool sqlite = GetParam() == test_support::Backend::kSqlite;
  std::vector<Fault> faults;
  if (sqlite) {
    faults = {Fault::kWriteLocked, Fault::kDiskFull};
  } else {
    faults = {Fault::kConnectionEnded};
  }
  for (Fault fault : {Fault::kKilledBeforeBooking, Fault::kKilledAfterBooking,
                      Fault::kKilledReadingAnswer, Fault::kNonNumericReturn}) {
    faults.push_back(fault);
  }

  std::ostringstream table;
  table << std::left << std::setw(32) << "fault" << std::setw(10) << "ERP" << std::setw(10)
        << "uploaded" << std::setw(8) << "booked" << std::setw(10) << "in doubt"
        << "booked twice\n";
  for (Fault fault : faults) {
    for (bool keys : {true, false}) {
      const CaseResult result = Run(fault, keys);
      table << std::setw(32) << Name(fault) << std::setw(10) << (keys ? "keys" : "no keys")
            << std::setw(10) << result.uploaded << std::setw(8) << result.booked << std::setw(10)
            << result.in_doubt << result.booked_twice << "\n";
      SCOPED_TRACE(std::string(Name(fault)) + (keys ? " with keys" : " without keys"));
      EXPECT_EQ(result.booked_twice, 0);
      const bool answer_unusable = fault == Fault::kNonNumericReturn;
      if (keys) {
        // The struck document is sent again with its key and answered from the ledger; only an
        // answer that stays unusable keeps it in doubt.
        EXPECT_EQ(result.booked, kDocuments);
        EXPECT_EQ(result.in_doubt, answer_unusable ? 1 : 0);
      } else {
        // The struck document waits for an operator; the ERP booked it unless the broker died
        // before the booking.
        EXPECT_EQ(result.in_doubt, 1);
        EXPECT_EQ(result.booked,
                  fault == Fault::kKilledBeforeBooking ? kDocuments - 1 : kDocuments);
      }
    }
  }
  std::cout << "Exactly once, " << test_support::BackendName(GetParam()) << ":\n" << table.str();
}

}  // namespace
}  // namespace tqs::broker
