// The reference ERP's job sheet download: what it hands an engineer against what the laptop
// holds, in portions, and the documents the server component writes from its answer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/erp/job_sheets.h"
#include "erp/values.h"
#include "server/admin/installation.h"
#include "server/admin/users.h"
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
    server::InitializeDatabase(dsn_);
    server::AddUser(dsn_, "eve", "E1", "100");
    server::AddUser(dsn_, "ghost", "E404", "100");
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
