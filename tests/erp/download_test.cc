// The reference ERP's job sheet download: what it hands an engineer against what the laptop
// holds, in portions, and the documents the server component writes from its answer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "admin/installation.h"
#include "admin/users.h"
#include "common/erp/job_sheets.h"
#include "erp/values.h"
#include "platform/automation/data_object.h"
#include "server/download/job_sheet_document.h"
#include "server/download/job_sheets_input.h"
#include "server/jobsheet.h"
#include "tests/erp/reference_erp_fixture.h"

namespace tqs::erp::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace js = job_sheets;

// One answer of the manager's getJobSheets, written out with the server's document writers.
struct Portion {
  std::int32_t continuation_flag = -1;
  std::vector<std::string> errors;
  std::vector<std::string> new_documents;
  std::vector<std::string> addition_documents;
  std::vector<std::string> cancellations;
  Variant state;
  bool completed = false;
};

class ErpDownloadTest : public ReferenceErpTest {
 protected:
  ObjectPtr Input(std::string_view request) const {
    ObjectPtr input;
    std::string error;
    EXPECT_TRUE(server::download::BuildJobSheetsInput(*components_, request, input, error))
        << error;
    return input;
  }

  std::vector<std::string> Documents(const ObjectPtr& result, const Property& list) {
    std::vector<std::string> documents;
    if (!Call(result, list.has).AsBoolean()) return documents;
    const ObjectPtr entries = ObjectOf(Call(result, list.get));
    const std::int32_t count = Call(entries, js::download::kJobSheetData.size).AsInt32();
    for (std::int32_t index = 0; index < count; ++index) {
      const ObjectPtr entry =
          ObjectOf(Call(entries, js::download::kJobSheetData.at, {Variant(index)}));
      std::string document;
      EXPECT_TRUE(server::download::BuildServiceOrderXml(
          Call(entry, js::download::kServiceOrderData.get), document))
          << document;
      documents.push_back(document);
    }
    return documents;
  }

  // Calls getJobSheets on a new manager with the state of an earlier portion (or a new one).
  Portion GetJobSheets(std::string_view employee, std::string_view request,
                       Variant state = Variant()) {
    const ObjectPtr manager = Create(js::prog_id::kJobSheetsManager);
    Call(manager, js::manager::kInitialize, {Variant("100")});
    if (state.IsEmpty()) state = Variant(Create(js::prog_id::kIoState));
    std::vector<Variant> args = {Variant(std::string(employee)),
                                 Variant(Input(request)),
                                 Variant(Create(js::prog_id::kOJobSheets)),
                                 Variant(std::int32_t{0}),
                                 state,
                                 Variant(Create(js::prog_id::kOErrorStruct)),
                                 Variant(std::int32_t{0})};
    const ObjectPtr response = ObjectOf(manager->Invoke(js::manager::kGetJobSheets, args));
    Portion portion;
    portion.continuation_flag = args[3].AsInt32();
    const ObjectPtr errors = ObjectOf(Call(response, js::download::kGetOErrorStruct));
    for (std::int32_t index = 0; index < Call(errors, js::download::kErrors.size).AsInt32();
         ++index) {
      portion.errors.push_back(Call(errors, js::download::kErrors.at, {Variant(index)}).AsText());
    }
    const ObjectPtr result = ObjectOf(Call(response, js::download::kGetOJobSheets));
    portion.new_documents = Documents(result, js::download::kNewJobSheets);
    portion.addition_documents = Documents(result, js::download::kAdditionJobSheets);
    if (Call(result, js::download::kCancellationJobSheets.has).AsBoolean()) {
      const ObjectPtr list = ObjectOf(Call(result, js::download::kCancellationJobSheets.get));
      for (std::int32_t index = 0; index < Call(list, js::download::kCancelOrder.size).AsInt32();
           ++index) {
        std::string element;
        EXPECT_TRUE(server::download::BuildCancellationXml(
            Call(list, js::download::kCancelOrder.at, {Variant(index)}), element));
        portion.cancellations.push_back(element);
      }
    }
    portion.state = Call(response, js::download::kGetIoState);
    portion.completed =
        Call(ObjectOf(portion.state), js::download::kCompletedStateAttribute).AsInt32() == 1;
    return portion;
  }
};

TEST_F(ErpDownloadTest, NewAdditionsAndCancellationsAgainstWhatTheLaptopHolds) {
  const Portion portion = GetJobSheets(
      "E1",
      "<jobsheets>"
      "<serviceorder id='A1'><activities><activity id='10'>"
      "<materials><material lineid='1'/></materials><labors><labor lineid='3'/></labors>"
      "</activity></activities></serviceorder>"
      "<serviceorder id='A4'/><serviceorder id='A3'/><serviceorder id='A5'/>"
      "<serviceorder id='X9'/></jobsheets>");

  EXPECT_THAT(portion.errors, IsEmpty());
  EXPECT_EQ(portion.continuation_flag, 0);
  EXPECT_TRUE(portion.completed);
  // A2 is new in full; A5 is completed, so not handed out although the laptop lacks it.
  EXPECT_THAT(portion.new_documents, ElementsAre(std::string(OrderA2Document())));
  // A1: material 2 and the inspection of activity 10, and activity 20 in full.
  ASSERT_EQ(portion.addition_documents.size(), 1u);
  const std::string& addition = portion.addition_documents[0];
  EXPECT_THAT(addition, HasSubstr("<serviceorder id='A1' "));
  EXPECT_THAT(addition, Not(HasSubstr("lineid='1'")));
  EXPECT_THAT(addition, Not(HasSubstr("lineid='3'")));
  EXPECT_THAT(addition, Not(HasSubstr("<labors>")));
  EXPECT_THAT(addition, HasSubstr("<materials><material lineid='2' "));
  EXPECT_THAT(addition, HasSubstr("<inspection cmea='TEMP' mseq='1' "));
  EXPECT_THAT(addition, HasSubstr("<activity id='20' "));
  EXPECT_THAT(addition, HasSubstr("<other lineid='4' "));
  // Cancelled and reassigned orders, in the order the laptop listed them; the completed and
  // the unknown order are left alone.
  EXPECT_THAT(portion.cancellations, ElementsAre("<serviceorder id='A4' cadt='" + Today() +
                                                     "' cdis='Reassigned to another engineer' />",
                                                 "<serviceorder id='A3' cadt='2026-03-04' "
                                                 "cdis='Customer &amp; co cancelled' />"));
}

TEST_F(ErpDownloadTest, HoldingsDecideAdditions) {
  struct Case {
    const char* request;
    std::vector<std::string> expected_activities;  // of the A1 addition; none: no addition
  };
  const Case cases[] = {
      // Listed without activities: held in full.
      {"<serviceorder id='A1'/>", {}},
      // Listed with an empty activities list: every activity is missing.
      {"<serviceorder id='A1'><activities/></serviceorder>", {"10", "20"}},
      // Everything held: nothing to add.
      {"<serviceorder id='A1'><activities><activity id='10'><materials><material lineid='1'/>"
       "<material lineid='2'/></materials><labors><labor lineid='3'/></labors><inspections>"
       "<inspection lineid='1'/></inspections></activity><activity id='20'><others>"
       "<other lineid='4'/></others></activity></activities></serviceorder>",
       {}},
      // The inspection is held by its number, not by a cost line id of the same number.
      {"<serviceorder id='A1'><activities><activity id='10'><materials><material lineid='1'/>"
       "<material lineid='2'/></materials><labors><labor lineid='3'/></labors><others>"
       "<other lineid='1'/></others></activity><activity id='20'><others>"
       "<other lineid='4'/></others></activity></activities></serviceorder>",
       {"10"}},
  };
  for (const Case& test : cases) {
    const Portion portion = GetJobSheets("E1", test.request);
    std::vector<std::string> activities;
    for (const std::string& document : portion.addition_documents) {
      for (std::size_t at = document.find("<activity id='"); at != std::string::npos;
           at = document.find("<activity id='", at + 1)) {
        activities.push_back(document.substr(at + 14, 2));
      }
    }
    EXPECT_EQ(activities, test.expected_activities) << test.request;
  }
}

TEST_F(ErpDownloadTest, AnswersInPortionsUntilTheStateCompletes) {
  LoadRegistry(/*portion_size=*/2);
  const std::string request = "<held><serviceorder id='A3'/><serviceorder id='A4'/></held>";
  // Four entries: new A1 and A2, cancellations A3 and A4.
  const Portion first = GetJobSheets("E1", request);
  EXPECT_EQ(first.continuation_flag, 1);
  EXPECT_FALSE(first.completed);
  EXPECT_EQ(first.new_documents, (std::vector<std::string>{std::string(OrderA1Document()),
                                                           std::string(OrderA2Document())}));
  EXPECT_THAT(first.cancellations, IsEmpty());

  const Portion second = GetJobSheets("E1", request, first.state);
  EXPECT_EQ(second.continuation_flag, 1);
  EXPECT_TRUE(second.completed);
  EXPECT_THAT(second.new_documents, IsEmpty());
  ASSERT_EQ(second.cancellations.size(), 2u);
  EXPECT_THAT(second.cancellations[0], HasSubstr("id='A3'"));
  EXPECT_THAT(second.cancellations[1], HasSubstr("id='A4'"));

  LoadRegistry(/*portion_size=*/4);
  const Portion whole = GetJobSheets("E1", request);
  EXPECT_EQ(whole.continuation_flag, 0);
  EXPECT_TRUE(whole.completed);
  EXPECT_EQ(whole.new_documents.size() + whole.cancellations.size(), 4u);
}

// The order ids of job sheet documents or cancellation elements, in their order.
std::vector<std::string> OrderIds(const std::vector<std::string>& documents) {
  std::vector<std::string> ids;
  for (const std::string& document : documents) {
    const std::size_t start = document.find("<serviceorder id='");
    EXPECT_NE(start, std::string::npos) << document;
    if (start == std::string::npos) continue;
    const std::size_t from = start + std::string_view("<serviceorder id='").size();
    ids.push_back(document.substr(from, document.find('\'', from) - from));
  }
  return ids;
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

// A copy of a stored order under another id, or with one more material line on its first
// activity.
ServiceOrder Renamed(ServiceOrder order, std::string id) {
  order.id = std::move(id);
  return order;
}

ServiceOrder WithMaterialLine(ServiceOrder order, std::string line_id) {
  Line line;
  line.kind = LineKind::kMaterial;
  line.id = std::move(line_id);
  line.origin = "ERP";
  line.values["Item"] = "NEW-01";
  order.activities.at(0).lines.push_back(std::move(line));
  return order;
}

TEST_F(ErpDownloadTest, ChangesDuringADownloadNeitherRepeatNorLoseAJobSheet) {
  LoadRegistry(/*portion_size=*/1);
  // The download decided at the first portion: new A1 and A2, cancellation A3.
  const std::string request = "<held><serviceorder id='A3'/></held>";
  const std::unique_ptr<Store> store = OpenStore();
  const ServiceOrder a1 = *store->FindServiceOrder("A1");
  const ServiceOrder a2 = *store->FindServiceOrder("A2");

  const Portion first = GetJobSheets("E1", request);
  EXPECT_EQ(first.continuation_flag, 1);
  EXPECT_FALSE(first.completed);

  // An order handed out closes, and one still to come gains a line: re-planned, the download
  // would move on past A2 and never hand it out.
  ServiceOrder closed = a1;
  closed.status = "Closed";
  store->PutServiceOrder(closed);
  store->PutServiceOrder(WithMaterialLine(a2, "7"));
  const Portion second = GetJobSheets("E1", request, first.state);
  EXPECT_EQ(second.continuation_flag, 1);
  EXPECT_FALSE(second.completed);
  // Asking again with the same state cuts the same portion.
  EXPECT_EQ(GetJobSheets("E1", request, first.state).new_documents, second.new_documents);

  // New orders appear before and after the position: re-planned, A2 would come twice.
  store->PutServiceOrder(Renamed(a2, "A0"));
  store->PutServiceOrder(Renamed(a2, "A6"));
  const Portion third = GetJobSheets("E1", request, second.state);
  EXPECT_EQ(third.continuation_flag, 1);
  EXPECT_TRUE(third.completed);

  std::vector<std::string> handed_out;
  std::vector<std::string> cancelled;
  for (const Portion* portion : {&first, &second, &third}) {
    EXPECT_THAT(portion->errors, IsEmpty());
    EXPECT_THAT(portion->addition_documents, IsEmpty());
    Append(handed_out, portion->new_documents);
    Append(cancelled, portion->cancellations);
  }
  // Each job sheet once, as it stood when the download began: A2 without the later line.
  EXPECT_EQ(handed_out, (std::vector<std::string>{std::string(OrderA1Document()),
                                                  std::string(OrderA2Document())}));
  EXPECT_THAT(OrderIds(cancelled), ElementsAre("A3"));

  // The next download (the laptop holds A1 and A2 as handed out, and dropped A3) picks up what
  // changed meanwhile: the new orders, and A2's new line as an addition.
  const Portion next_a = GetJobSheets("E1",
                                      "<held><serviceorder id='A1'/><serviceorder id='A2'>"
                                      "<activities><activity id='10'/></activities></serviceorder>"
                                      "</held>");
  std::vector<std::string> next_new = next_a.new_documents;
  std::vector<std::string> next_additions = next_a.addition_documents;
  Variant state = next_a.state;
  for (bool completed = next_a.completed; !completed;) {
    const Portion more = GetJobSheets("E1", "", state);
    Append(next_new, more.new_documents);
    Append(next_additions, more.addition_documents);
    EXPECT_THAT(more.cancellations, IsEmpty());
    state = more.state;
    completed = more.completed;
  }
  EXPECT_THAT(OrderIds(next_new), ElementsAre("A0", "A6"));
  ASSERT_THAT(OrderIds(next_additions), ElementsAre("A2"));
  EXPECT_THAT(next_additions[0], HasSubstr("<material lineid='7' "));
}

TEST_F(ErpDownloadTest, AnOrderDeletedDuringADownloadIsPassedOverAndItsCancellationStays) {
  LoadRegistry(/*portion_size=*/1);
  const std::string request = "<held><serviceorder id='A3'/></held>";
  const Portion first = GetJobSheets("E1", request);
  EXPECT_THAT(OrderIds(first.new_documents), ElementsAre("A1"));

  // An operator deletes the order still to come and the cancelled one.
  sqlite3* database = nullptr;
  ASSERT_EQ(sqlite3_open(store_file_.c_str(), &database), SQLITE_OK);
  const int deleted = sqlite3_exec(database,
                                   "PRAGMA foreign_keys=ON; PRAGMA busy_timeout=5000; "
                                   "DELETE FROM service_orders WHERE id IN ('A2', 'A3');",
                                   nullptr, nullptr, nullptr);
  sqlite3_close(database);
  ASSERT_EQ(deleted, SQLITE_OK);

  const Portion second = GetJobSheets("E1", request, first.state);
  EXPECT_THAT(second.errors, IsEmpty());
  EXPECT_THAT(second.new_documents, IsEmpty());
  EXPECT_EQ(second.continuation_flag, 1);
  EXPECT_FALSE(second.completed);
  const Portion third = GetJobSheets("E1", request, second.state);
  EXPECT_THAT(third.new_documents, IsEmpty());
  EXPECT_THAT(third.cancellations, ElementsAre("<serviceorder id='A3' cadt='2026-03-04' "
                                               "cdis='Customer &amp; co cancelled' />"));
  EXPECT_TRUE(third.completed);
}

TEST_F(ErpDownloadTest, StatesThatCannotContinueADownloadAreRefused) {
  LoadRegistry(/*portion_size=*/1);
  const Portion first = GetJobSheets("E1", "");
  ASSERT_FALSE(first.completed);
  try {
    GetJobSheets("E2", "", first.state);
    FAIL() << "E2 must not continue E1's download";
  } catch (const Error& error) {
    EXPECT_THAT(error.description(), HasSubstr("employee 'E2' belongs to another employee's"));
    EXPECT_THAT(error.description(), Not(HasSubstr("E1")));
  }
  // E1 itself goes on where it was.
  EXPECT_THAT(OrderIds(GetJobSheets("E1", "", first.state).new_documents), ElementsAre("A2"));

  // A state of another implementation starts a download while it holds no position; one that
  // does cannot be continued, and starting again would repeat the first portion forever.
  const auto foreign = std::make_shared<automation::DataObject>("Proxy.ioState");
  EXPECT_THAT(OrderIds(GetJobSheets("E1", "", Variant(ObjectPtr(foreign))).new_documents),
              ElementsAre("A1"));
  foreign->Set("Position", Call(ObjectOf(first.state), "getPosition"));
  try {
    GetJobSheets("E1", "", Variant(ObjectPtr(foreign)));
    FAIL() << "a state the ERP cannot continue must raise";
  } catch (const Error& error) {
    EXPECT_THAT(error.description(), HasSubstr("not one this ERP answered with (it is "
                                               "Proxy.ioState at position Int32(1))"));
  }
}

TEST_F(ErpDownloadTest, AStoreReadTransactionSeesOneMoment) {
  const std::unique_ptr<Store> reader = OpenStore();
  const std::unique_ptr<Store> writer = OpenStore();
  const ServiceOrder a2 = *reader->FindServiceOrder("A2");
  std::size_t lines_before = 0;
  std::size_t lines_within = 0;
  bool a0_within = true;
  reader->InReadTransaction([&] {
    lines_before = reader->FindServiceOrder("A2")->activities.at(0).lines.size();
    writer->PutServiceOrder(WithMaterialLine(a2, "7"));
    writer->PutServiceOrder(Renamed(a2, "A0"));
    lines_within = reader->FindServiceOrder("A2")->activities.at(0).lines.size();
    a0_within = reader->HasServiceOrder("A0");
  });
  EXPECT_EQ(lines_within, lines_before);
  EXPECT_FALSE(a0_within);
  EXPECT_EQ(reader->FindServiceOrder("A2")->activities.at(0).lines.size(), lines_before + 1);
  EXPECT_TRUE(reader->HasServiceOrder("A0"));
}

TEST_F(ErpDownloadTest, UnknownEmployeeIsAnErrorOfTheErrorStructure) {
  const Portion portion = GetJobSheets("E404", "");
  EXPECT_THAT(portion.errors, ElementsAre("Employee 'E404' is not known to the ERP"));
  EXPECT_EQ(portion.continuation_flag, 0);
  EXPECT_THAT(portion.new_documents, IsEmpty());
}

TEST_F(ErpDownloadTest, ManagerRefusesCallsBeforeInitializeAndWrongArgumentCounts) {
  const ObjectPtr manager = Create(js::prog_id::kJobSheetsManager);
  std::vector<Variant> seven(7);
  try {
    manager->Invoke(js::manager::kGetJobSheets, seven);
    FAIL() << "getJobSheets before Initialize must raise";
  } catch (const Error& error) {
    EXPECT_THAT(error.description(), HasSubstr("before Initialize"));
  }
  Call(manager, js::manager::kInitialize, {Variant("100")});
  try {
    Call(manager, js::manager::kGetJobSheets, {Variant("E1")});
    FAIL() << "getJobSheets with one argument must raise";
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), 450);
    EXPECT_THAT(error.description(), HasSubstr("takes 7, got 1"));
  }
  EXPECT_THROW(Create("Q72dVXRsvordJobSheets.NoSuchClass"), Error);
}

// The whole download through JobSheet.getJobSheets, as the web tier calls it.
class ErpJobSheetDownloadTest : public ReferenceErpTest {
 protected:
  void SetUp() override {
    ReferenceErpTest::SetUp();
    dsn_ = "Provider=SQLite;Data Source=" + (folder_.path() / "server.db").string();
    admin::InitializeDatabase(dsn_);
    admin::AddUser(dsn_, "eve", "E1", "100");
    admin::AddUser(dsn_, "ghost", "E404", "100");
  }

  bool Download(std::string_view login, std::string_view request, Variant& job_sheets,
                Variant& errors) {
    server::JobSheet job_sheet(*components_);
    return job_sheet.getJobSheets(std::string(login), std::string(request), dsn_, job_sheets,
                                  errors);
  }

  std::string dsn_;
};

TEST_F(ErpJobSheetDownloadTest, WritesTheErpsOrdersAsTheDocumentsTheyWereImportedFrom) {
  Variant job_sheets;
  Variant errors;
  ASSERT_TRUE(Download("eve", "", job_sheets, errors)) << errors.DebugString();
  EXPECT_EQ(errors.AsText(), "");
  EXPECT_EQ(job_sheets.AsText(), "<jobsheets><new>" + std::string(OrderA1Document()) +
                                     std::string(OrderA2Document()) + "</new></jobsheets>");

  ASSERT_TRUE(Download("eve",
                       "<jobsheets><serviceorder id='A1'/><serviceorder id='A2'/>"
                       "<serviceorder id='A3'/></jobsheets>",
                       job_sheets, errors));
  EXPECT_EQ(job_sheets.AsText(),
            "<jobsheets><cancellations><serviceorder id='A3' cadt='2026-03-04' "
            "cdis='Customer &amp; co cancelled' /></cancellations></jobsheets>");
}

TEST_F(ErpJobSheetDownloadTest, PortionsMakeOneResponse) {
  Variant whole;
  Variant errors;
  ASSERT_TRUE(Download("eve", "<serviceorder id='A3'/>", whole, errors));
  LoadRegistry(/*portion_size=*/1);
  Variant in_portions;
  ASSERT_TRUE(Download("eve", "<serviceorder id='A3'/>", in_portions, errors));
  EXPECT_EQ(in_portions.AsText(), whole.AsText());
  EXPECT_THAT(whole.AsText(), HasSubstr("</new><cancellations><serviceorder id='A3'"));
}

TEST_F(ErpJobSheetDownloadTest, UnknownEmployeeReachesTheWebTierAsTheErrorDocument) {
  Variant job_sheets;
  Variant errors;
  EXPECT_FALSE(Download("ghost", "", job_sheets, errors));
  EXPECT_EQ(job_sheets.AsText(), "");
  // The ERP's text is plain; the server escapes it like every value it writes.
  EXPECT_EQ(errors.AsText(),
            "<errors><error>Employee &apos;E404&apos; is not known to the ERP</error></errors>");
}

}  // namespace
}  // namespace tqs::erp::testing
