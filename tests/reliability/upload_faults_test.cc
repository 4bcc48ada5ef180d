// A laptop's upload meets storage that fails underneath it: the server database file becomes
// read-only, the disk fills up, or another writer holds the database locked. An outbox is stored
// in one transaction, so its documents become durable together at its commit: the feedback must
// name every item that was not stored (none may be answered as stored when the commit failed),
// no row may be left half-written, and uploading the same outbox again once the storage is back
// must store exactly the missing items: nothing lost, nothing stored twice.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "admin/installation.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "server/jobsheet.h"
#include "tests/reliability/faulty_sqlite_vfs.h"
#include "tests/support/temp_dir.h"

namespace tqs::server {
namespace {

using automation::Variant;
using test_support::FaultySqliteVfs;
using test_support::StorageFault;

std::string JobSheetItem(const std::string& order, const std::string& padding = "") {
  return "<item interactionon='20261208' id='" + order + "_0'><jobsheet><serviceorder id='" +
         order + "' actionsperformed='RDP,MD' note='" + padding + "'/></jobsheet></item>";
}

std::string Envelope(const std::string& items) {
  return "<businessdocuments><jobsheets>" + items + "</jobsheets></businessdocuments>";
}

std::string Feedback(const std::string& id, const std::string& order, const std::string& type,
                     const std::string& desc = "") {
  return "<jobsheet interactionon=\"20261208\" interactionid=\"" + id + "\" headerid=\"" + order +
         "\" errortype=\"" + type + "\" errordesc=\"" + desc + "\"/>";
}

class UploadFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override { UseDatabase("server.db"); }

  // A new server database in the test's folder.
  void UseDatabase(const std::string& name) {
    dsn_ = "Provider=SQLite;Data Source=" + (folder_.path() / name).string();
    admin::InitializeDatabase(dsn_);
  }

  std::string Upload(const std::string& envelope) {
    Variant result = "unchanged";
    EXPECT_TRUE(job_sheet_.StoreOutboxContent(envelope, "1001", dsn_, result));
    return result.AsText();
  }

  // The stored rows: "<id>:<document id>:<contents>" in number order.
  std::string Rows() const {
    auto connection = db::Connection::Open(dsn_);
    auto rs = db::Recordset::Open(
        "SELECT INTERACTIONID, BUSINESSDOCUMENTID, BUSINESSDOCUMENTCONTENTS, INTERACTIONSTATUS "
        "FROM CLIENTSERVERINTERACTION ORDER BY INTERACTIONID",
        *connection, db::CursorType::kForwardOnly, db::LockType::kReadOnly);
    std::string rows;
    for (; !rs->IsEOF(); rs->MoveNext()) {
      rows += rs->Field(0).AsText() + ":" + rs->Field(1).AsText() + ":" + rs->Field(2).AsText() +
              ":" + rs->Field(3).AsText() + "\n";
    }
    return rows;
  }

  std::string IntegrityCheck() const {
    auto connection = db::Connection::Open(dsn_);
    auto rs = db::Recordset::Open("PRAGMA integrity_check", *connection,
                                  db::CursorType::kForwardOnly, db::LockType::kReadOnly);
    return rs->Field(0).AsText();
  }

  static std::string Row(const std::string& id, const std::string& order,
                         const std::string& padding = "") {
    return id + ":" + order + "_0:<jobsheet><serviceorder id=\"" + order +
           "\" actionsperformed=\"RDP,MD\" note=\"" + padding + "\"/></jobsheet>:5\n";
  }

  test_support::ScopedTempDir folder_;
  std::string dsn_;
  automation::ComponentRegistry components_;
  JobSheet job_sheet_{components_};
};

TEST_F(UploadFaultsTest, ACommitThatFailsStoresNoneOfTheOutboxAndAnswersNoneAsStored) {
  const struct {
    StorageFault fault;
    const char* provider_message;
  } cases[] = {
      {StorageFault::kReadOnly, "disk I/O error"},
      {StorageFault::kDiskFull, "database or disk is full"},
  };
  // 4711 arrived with an earlier upload; 4712 is in the outbox twice.
  const std::string envelope = Envelope(JobSheetItem("4711") + JobSheetItem("4712") +
                                        JobSheetItem("4712") + JobSheetItem("4713"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.provider_message);
    UseDatabase(std::string("server-") + std::to_string(static_cast<int>(c.fault)) + ".db");
    Upload(Envelope(JobSheetItem("4711")));

    FaultySqliteVfs vfs;
    vfs.Arm(c.fault, /*after_commits=*/0);
    const std::string feedback = Upload(envelope);
    EXPECT_GT(vfs.refused(), 0);
    vfs.Disarm();

    // The earlier one is still a conflict; every other item names the provider's failure, the
    // copy of 4712 too (its first copy was never stored).
    const std::string::size_type first_end = feedback.find("/>") + 2;
    EXPECT_EQ(feedback.substr(0, first_end),
              "<uploadfeedback><jobsheets>" + Feedback("1", "4711", "conflict"));
    int failed = 0;
    for (std::string::size_type at = feedback.find("<jobsheet ", first_end);
         at != std::string::npos; at = feedback.find("<jobsheet ", at + 1)) {
      const std::string element = feedback.substr(at, feedback.find("/>", at) - at);
      EXPECT_NE(element.find("errortype=\"normal\""), std::string::npos) << element;
      EXPECT_NE(element.find(c.provider_message), std::string::npos) << element;
      ++failed;
    }
    EXPECT_EQ(failed, 3) << feedback;
    // Only the earlier upload is in the database, whole; the file is sound.
    EXPECT_EQ(Rows(), Row("1", "4711"));
    EXPECT_EQ(IntegrityCheck(), "ok");

    // The laptop sends the same outbox again: the stored one is a conflict, the others are
    // stored now.
    EXPECT_EQ(Upload(envelope), "<uploadfeedback><jobsheets>" + Feedback("1", "4711", "conflict") +
                                    Feedback("2", "4712", "") + Feedback("2", "4712", "conflict") +
                                    Feedback("3", "4713", "") + "</jobsheets></uploadfeedback>");
    EXPECT_EQ(Rows(), Row("1", "4711") + Row("2", "4712") + Row("3", "4713"));
  }
}

// The documents of an outbox cost one durable commit together: with room for exactly one more
// commit, a whole outbox of five goes in, and the next outbox finds the disk full.
TEST_F(UploadFaultsTest, AnOutboxIsOneCommit) {
  FaultySqliteVfs vfs;
  vfs.Arm(StorageFault::kDiskFull, /*after_commits=*/1);
  std::string items;
  std::string answered;
  std::string rows;
  for (int n = 1; n <= 5; ++n) {
    const std::string order = std::to_string(4710 + n);
    items += JobSheetItem(order);
    answered += Feedback(std::to_string(n), order, "");
    rows += Row(std::to_string(n), order);
  }
  EXPECT_EQ(Upload(Envelope(items)),
            "<uploadfeedback><jobsheets>" + answered + "</jobsheets></uploadfeedback>");
  EXPECT_NE(Upload(Envelope(JobSheetItem("4716"))).find("errortype=\"normal\""), std::string::npos);
  EXPECT_GT(vfs.refused(), 0);
  vfs.Disarm();
  EXPECT_EQ(Rows(), rows);
}

TEST_F(UploadFaultsTest, UploadWaitsForAnotherWriterToReleaseTheLock) {
  FaultySqliteVfs vfs;
  vfs.Arm(StorageFault::kLocked, /*after_commits=*/0);
  // The other writer finishes after a while; the upload waits for it rather than failing.
  std::thread other_writer([&vfs] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    vfs.Disarm();
  });
  const std::string feedback =
      Upload(Envelope(JobSheetItem("4711") + JobSheetItem("4712") + JobSheetItem("4713")));
  other_writer.join();

  EXPECT_EQ(feedback, "<uploadfeedback><jobsheets>" + Feedback("1", "4711", "") +
                          Feedback("2", "4712", "") + Feedback("3", "4713", "") +
                          "</jobsheets></uploadfeedback>");
  EXPECT_EQ(Rows(), Row("1", "4711") + Row("2", "4712") + Row("3", "4713"));
}

// A real full disk: in a child process whose files may not grow beyond the size the database
// has now, an upload whose second item is too large to fit. The outbox's commit fails, so its
// documents are stored one by one: the two that fit are stored and answered so, the large one
// names the failure and arrives with the next upload.
TEST_F(UploadFaultsTest, FileSizeLimitDuringUploadStoresTheDocumentsThatFit) {
  const std::string large(512 * 1024, 'x');
  const std::string envelope =
      Envelope(JobSheetItem("4711") + JobSheetItem("4712", large) + JobSheetItem("4713"));
  // Warm up: the WAL file exists and holds room for small transactions.
  Upload(Envelope(JobSheetItem("4700")));

  const auto upload_with_size_limit = [&] {
    ::signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing us
    std::uintmax_t largest = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      largest = std::max<std::uintmax_t>(largest, entry.file_size());
    }
    const rlim_t limit = largest + 64 * 1024;
    const rlimit size_limit{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size_limit);
    const std::string feedback = Upload(envelope);
    const bool as_expected =
        feedback.find(Feedback("2", "4711", "")) != std::string::npos &&
        feedback.find("headerid=\"4712\" errortype=\"normal\"") != std::string::npos &&
        feedback.find(Feedback("3", "4713", "")) != std::string::npos;
    std::cerr << feedback;
    std::exit(as_expected ? 0 : 1);
  };
  EXPECT_EXIT(upload_with_size_limit(), ::testing::ExitedWithCode(0), "");

  // The database holds the earlier upload and the two documents that fit, whole; the large one
  // arrives with the next upload, and the others are conflicts then.
  EXPECT_EQ(IntegrityCheck(), "ok");
  EXPECT_EQ(Rows(), Row("1", "4700") + Row("2", "4711") + Row("3", "4713"));
  EXPECT_EQ(Upload(envelope), "<uploadfeedback><jobsheets>" + Feedback("2", "4711", "conflict") +
                                  Feedback("4", "4712", "") + Feedback("3", "4713", "conflict") +
                                  "</jobsheets></uploadfeedback>");
  EXPECT_EQ(Rows(),
            Row("1", "4700") + Row("2", "4711") + Row("3", "4713") + Row("4", "4712", large));
}

}  // namespace
}  // namespace tqs::server
