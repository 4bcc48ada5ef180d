// Loading job sheet documents into the reference ERP, and laying it out in an installation.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "admin/installation.h"
#include "common/erp/assignments.h"
#include "common/erp/hours_accounting.h"
#include "common/erp/job_sheets.h"
#include "common/erp/service_inspections.h"
#include "erp/job_sheet_import.h"
#include "erp/seed.h"
#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "server/jobsheet.h"
#include "tests/erp/reference_erp_fixture.h"
#include "tests/support/error_testing.h"

namespace tqs::erp::testing {
namespace {

namespace fs = std::filesystem;
using test_support::ErrorDescriptionOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class ErpImportTest : public ReferenceErpTest {};

TEST_F(ErpImportTest, ReplacesOrdersCancelsAndAddsEngineers) {
  const std::unique_ptr<Store> store = OpenStore();
  const ImportReport report = ImportJobSheets(
      *store,
      "<?xml version='1.0'?><jobsheets><append>"
      "<jobsheet><serviceorder id='A2'><details><emno>E7</emno><emna>Kim New</emna>"
      "<cwoc>WEST</cwoc></details><activities><activity id='70'><labors>"
      "<labor lineid='1'><ctsk>WELD</ctsk></labor></labors></activity></activities>"
      "</serviceorder></jobsheet></append>"
      "<cancellations><serviceorder id='A1' cadt='2026-03-10' cdis='Duplicate' /></cancellations>"
      "</jobsheets>",
      "orders.xml");
  EXPECT_THAT(report.orders, ElementsAre("A2"));
  EXPECT_THAT(report.cancelled, ElementsAre("A1"));
  EXPECT_THAT(report.employees, ElementsAre("E7"));

  const ServiceOrder replaced = *store->FindServiceOrder("A2");
  EXPECT_EQ(replaced.employee, "E7");
  EXPECT_EQ(replaced.status, "Released");  // no osta: released
  EXPECT_EQ(replaced.service_center, "WEST");
  ASSERT_EQ(replaced.activities.size(), 1u);
  EXPECT_EQ(replaced.activities[0].id, "70");
  EXPECT_EQ(store->FindEmployee("E7")->name, "Kim New");
  EXPECT_TRUE(store->IsTask("WELD"));  // the labour task the documents name

  const ServiceOrder cancelled = *store->FindServiceOrder("A1");
  EXPECT_EQ(cancelled.status, "Cancelled");
  EXPECT_EQ(cancelled.cancelled_on, "2026-03-10");
  EXPECT_EQ(cancelled.cancel_reason, "Duplicate");
  EXPECT_EQ(cancelled.activities.size(), 2u);  // kept
}

TEST_F(ErpImportTest, RefusesBadDocumentsWholly) {
  struct Case {
    const char* documents;
    const char* error;
  };
  const Case cases[] = {
      {"<jobsheet><serviceorder id='B1'><details/></serviceorder></jobsheet>",
       "service order 'B1': its details name no engineer (emno)"},
      {"<jobsheet><serviceorder id='B1'><details><emno>E1</emno><pstm>soon</pstm></details>"
       "</serviceorder></jobsheet>",
       "service order 'B1': planned start (pstm) 'soon' is no date"},
      {"<jobsheet><serviceorder id='B1'><details><emno>E1</emno></details><activities>"
       "<activity id='1'><materials><material lineid='1'><eqan>-1</eqan></material></materials>"
       "</activity></activities></serviceorder></jobsheet>",
       "estimated quantity (eqan) '-1' is negative"},
      {"<jobsheet><serviceorder id='B1'><details><emno>E1</emno></details><activities>"
       "<activity id='1'><inspections><inspection mseq='1'/></inspections></activity>"
       "</activities></serviceorder></jobsheet>",
       "has no 'cmea' attribute"},
      {"<cancellations><serviceorder id='NOPE' cadt='2026-01-01' cdis='x' /></cancellations>",
       "cancelled service order 'NOPE' is not in the store"},
      {"<jobsheet><serviceorder", "Cannot import the job sheets of 'bad.xml'"},
      {"<nothing/>", "it holds no jobsheet and no cancellation element"},
  };
  const std::unique_ptr<Store> store = OpenStore();
  for (const Case& test : cases) {
    // A good order before the bad one is not stored either.
    const std::string documents =
        "<jobsheet><serviceorder id='OK1'><details><emno>E1</emno></details></serviceorder>"
        "</jobsheet>" +
        std::string(test.documents);
    EXPECT_THAT(ErrorDescriptionOf([&] { ImportJobSheets(*store, test.documents, "bad.xml"); }),
                HasSubstr(test.error));
    if (std::string_view(test.documents).find("<nothing/>") == std::string_view::npos) {
      EXPECT_THAT(ErrorDescriptionOf([&] { ImportJobSheets(*store, documents, "bad.xml"); }),
                  HasSubstr(test.error));
    }
    EXPECT_FALSE(store->FindServiceOrder("OK1").has_value()) << test.documents;
    EXPECT_FALSE(store->FindServiceOrder("B1").has_value());
  }
  EXPECT_EQ(store->CountServiceOrders(), 5);
}

// An installation with the reference ERP library in its bin folder.
class ErpInstallationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = folder_.path() / "installation";
    fs::create_directories(dir_ / "bin");
    fs::copy_file(TQS_REFERENCE_ERP_LIBRARY, dir_ / "bin" / kReferenceErpLibrary);
    dsn_ = "Provider=SQLite;Data Source=" + (folder_.path() / "server.db").string();
    admin::InitializeDatabase(dsn_);
  }

  std::vector<std::string> Install() {
    std::vector<std::string> lines;
    WriteReferenceErp(dir_, dsn_, ReferenceErpContent{.demo = demo_},
                      [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
  }

  std::vector<std::string> Users() const {
    auto connection = db::Connection::Open(dsn_);
    auto rows = db::Recordset::Open(
        "SELECT LOGN, EMNO, BUSCOMPONENT FROM USERDEFAULTS ORDER BY LOGN", *connection);
    std::vector<std::string> users;
    for (; !rows->IsEOF(); rows->MoveNext()) {
      users.push_back(rows->Field(0).AsText() + " " + rows->Field(1).AsText() + " " +
                      rows->Field(2).AsText());
    }
    return users;
  }

  test_support::ScopedTempDir folder_;
  fs::path dir_;
  std::string dsn_;
  bool demo_ = true;
};

TEST_F(ErpInstallationTest, DemoEngineersDownloadTheirOwnCentresOrders) {
  const std::vector<std::string> lines = Install();
  EXPECT_THAT(lines, ElementsAre(HasSubstr("store ready with 6 demo service orders"),
                                 HasSubstr("TQSRemoteComponents.xml"),
                                 "Demo users added: ada (E001), bram (E002), carla (E003)"));
  EXPECT_THAT(Users(), ElementsAre("ada E001 100", "bram E002 100", "carla E003 100"));
  EXPECT_EQ(StoreOfRegistry(dir_ / "bin" / "TQSRemoteComponents.xml"), dir_ / "erp" / "erp.db");
  EXPECT_TRUE(fs::is_regular_file(dir_ / "erp" / "demo-orders.xml"));

  automation::ComponentRegistry components;
  components.LoadFile(dir_ / "bin" / "TQSRemoteComponents.xml");
  EXPECT_EQ(components.Prefixes().size(), 4u);
  // The components that book uploaded documents take idempotency keys; assignments do not.
  EXPECT_TRUE(components.AcceptsIdempotencyKeys(job_sheets::prog_id::kJobSheetsManager));
  EXPECT_TRUE(components.AcceptsIdempotencyKeys(
      hours_accounting::prog_id::kServiceOrderHoursAccountingManager));
  EXPECT_TRUE(
      components.AcceptsIdempotencyKeys(service_inspections::prog_id::kServiceInspectionsManager));
  EXPECT_FALSE(components.AcceptsIdempotencyKeys(assignments::prog_id::kManager));
  server::JobSheet job_sheet(components);
  const auto orders_of = [&](const char* login) {
    Variant job_sheets;
    Variant errors;
    EXPECT_TRUE(job_sheet.getJobSheets(login, "", dsn_, job_sheets, errors))
        << errors.DebugString();
    std::vector<std::string> ids;
    const std::string text = job_sheets.ToTextOrEmpty();
    for (std::size_t at = text.find("<serviceorder id='"); at != std::string::npos;
         at = text.find("<serviceorder id='", at + 1)) {
      ids.push_back(text.substr(at + 18, 6));
    }
    return ids;
  };
  EXPECT_THAT(orders_of("ada"), ElementsAre("SO1001", "SO1002"));  // SO1003 is cancelled
  EXPECT_THAT(orders_of("bram"), ElementsAre("SO2001"));
  EXPECT_THAT(orders_of("carla"), ElementsAre("SO3001", "SO3002"));
}

TEST_F(ErpInstallationTest, InstallingAgainKeepsTheStoreAndTheUsers) {
  Install();
  {
    const std::unique_ptr<Store> store = Store::Open(dir_ / "erp" / "erp.db");
    ServiceOrder order = *store->FindServiceOrder("SO1001");
    order.status = "Closed";
    store->PutServiceOrder(order);
  }
  const std::vector<std::string> lines = Install();
  EXPECT_THAT(lines[0], HasSubstr("Reference ERP store kept"));
  EXPECT_EQ(lines.back(), "Demo users kept: ada (E001), bram (E002), carla (E003)");
  EXPECT_EQ(Store::Open(dir_ / "erp" / "erp.db")->FindServiceOrder("SO1001")->status, "Closed");
  EXPECT_EQ(Users().size(), 3u);
}

TEST_F(ErpInstallationTest, ProductionGetsAnEmptyStoreAndAWorkingRegistryButNoUsers) {
  demo_ = false;
  const std::vector<std::string> lines = Install();
  EXPECT_THAT(lines, ElementsAre(HasSubstr("store ready, empty"),
                                 HasSubstr("the reference ERP serves the ERP components")));
  EXPECT_TRUE(Users().empty());
  EXPECT_EQ(Store::Open(dir_ / "erp" / "erp.db")->CountServiceOrders(), 0);
  EXPECT_FALSE(fs::exists(dir_ / "erp" / "demo-orders.xml"));
  automation::ComponentRegistry components;
  components.LoadFile(dir_ / "bin" / "TQSRemoteComponents.xml");
  EXPECT_NO_THROW(components.Create(job_sheets::prog_id::kJobSheetsManager));

  // A registry of the operator's own is kept.
  const std::string own = "<components/>\n";
  std::ofstream(dir_ / "bin" / "TQSRemoteComponents.xml", std::ios::trunc) << own;
  EXPECT_THAT(Install(), Contains(HasSubstr("Kept")));
  std::ifstream kept(dir_ / "bin" / "TQSRemoteComponents.xml");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), own);
}

TEST_F(ErpInstallationTest, WithoutTheLibraryTheRegistryNamesNoErp) {
  fs::remove(dir_ / "bin" / kReferenceErpLibrary);
  const std::vector<std::string> lines = Install();
  EXPECT_THAT(lines[1], HasSubstr("the component registry names no ERP"));
  EXPECT_FALSE(fs::exists(dir_ / "bin" / "TQSRemoteComponents.xml"));
  EXPECT_THAT(
      ErrorDescriptionOf([&] { StoreOfRegistry(dir_ / "bin" / "TQSRemoteComponents.xml"); }),
      HasSubstr("TQSRemoteComponents.xml"));
}

TEST_F(ErpInstallationTest, TheComponentsNeedTheirStore) {
  Install();
  fs::remove(dir_ / "erp" / "erp.db");
  automation::ComponentRegistry components;
  components.LoadFile(dir_ / "bin" / "TQSRemoteComponents.xml");  // starts without the store
  EXPECT_THAT(
      ErrorDescriptionOf([&] { components.Create(job_sheets::prog_id::kJobSheetsManager); }),
      HasSubstr("erp.db' does not exist"));
}

}  // namespace
}  // namespace tqs::erp::testing
