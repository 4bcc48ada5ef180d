#include "server/download/get_job_sheets.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "platform/automation/component_registry.h"
#include "platform/db/connection.h"
#include "platform/xml/well_formedness.h"
#include "server/schema/server_schema.h"
#include "server/thread_connection.h"
#include "server/user_defaults.h"
#include "tests/server/download/erp_script.h"
#include "tests/support/deep_xml.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::server::download {
namespace {

using automation::ObjectPtr;
using automation::Variant;
using test_support::ErpScript;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kManagerCall =
    "call JobSheetsManager#1.getJobSheets(Text(\"E100\"), Object(iJobSheets#1), "
    "Object(OJobSheets#1), Int32(0), Object(ioState#1), Object(OErrorStruct#1), Int32(0))";

// The job sheet document of a service order that has only an id.
std::string BareDocument(const std::string& id) {
  return "<jobsheet><serviceorder id='" + id +
         "' origin='' type='' owner='' allowedactions='' actionsperformed='' invoiceid = '' >"
         "</serviceorder></jobsheet>";
}

// The recording double cannot yet describe an empty object reference passed as an argument
// (describing it raises "object not set"). Service order input objects are therefore served
// through this wrapper, which hands such an argument on as the marker object "Nothing#1", so
// that the journal still shows where an empty reference was passed.
class EmptyReferenceMarker : public automation::ComponentFactory {
 public:
  explicit EmptyReferenceMarker(test_support::RecordingComponents& erp)
      : erp_(erp), marker_(erp.NewObject("Script.Nothing")) {}

  ObjectPtr Create(std::string_view prog_id) override {
    return std::make_shared<Marking>(erp_.Create(prog_id), marker_);
  }

 private:
  class Marking : public automation::Object {
   public:
    Marking(ObjectPtr inner, ObjectPtr marker)
        : inner_(std::move(inner)), marker_(std::move(marker)) {}
    Variant Invoke(std::string_view method, std::span<Variant> args) override {
      std::vector<Variant> marked(args.begin(), args.end());
      for (Variant& arg : marked) {
        if (arg.IsObject() && !arg.TryText() &&
            test_support::ErrorNumberOf([&] { arg.AsObject(); }) == error_number::kObjectNotSet) {
          arg = Variant(marker_);
        }
      }
      return inner_->Invoke(method, marked);
    }
    std::string ProgId() const override { return inner_->ProgId(); }

   private:
    const ObjectPtr inner_;
    const ObjectPtr marker_;
  };

  test_support::RecordingComponents& erp_;
  const ObjectPtr marker_;
};

// The lines of `journal` that contain any of `parts`, in order.
std::vector<std::string> LinesWith(const std::vector<std::string>& journal,
                                   std::initializer_list<std::string_view> parts) {
  std::vector<std::string> lines;
  for (const std::string& line : journal) {
    for (std::string_view part : parts) {
      if (line.find(part) != std::string::npos) {
        lines.push_back(line);
        break;
      }
    }
  }
  return lines;
}

class GetJobSheetsTest : public ::testing::Test {
 protected:
  GetJobSheetsTest() {
    dsn_ = "Provider=SQLite;Data Source=" + (folder_.path() / "server.db").string();
    auto connection = db::Connection::OpenOrCreate(dsn_);
    CreateServerSchema(*connection);
    connection->Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT) VALUES ('jdoe', 'E100', 'BC7')");
    connection->Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT) VALUES ('o''neil', 'E200', 'BC8')");
    connection->Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT) VALUES ('nobc', 'E300', NULL)");
    registry_.Register("Q72dVXRsvordJobSheets.", script_.components());
  }

  bool Get(const std::string& login, const std::string& request) {
    return GetJobSheets(registry_, login, request, dsn_, job_sheets_, error_details_, Warnings());
  }

  // --- Scripted ERP answers ------------------------------------------------------------------

  // One answer of the manager's getJobSheets: the continuation flag it assigns and the
  // response it returns.
  struct Portion {
    Variant flag;
    ObjectPtr response;
  };

  void ScriptPortions(std::vector<Portion> portions) {
    auto next = std::make_shared<std::size_t>(0);
    script_.erp().OnCall("JobSheetsManager", "getJobSheets",
                         [portions, next](std::span<Variant> args) {
                           const Portion& portion = portions.at((*next)++);
                           args[3] = portion.flag;
                           return Variant(portion.response);
                         });
  }

  // An error structure reporting `texts`.
  ObjectPtr Errors(const std::string& name, std::vector<Variant> texts) {
    return script_.List(name, "sizeError", "getErrorAt", std::move(texts));
  }

  // A list of job sheet entries, each holding the service order data given (or, for an empty
  // pointer, an entry without service order data).
  Variant JobSheetList(const std::string& name, const std::vector<ObjectPtr>& orders) {
    std::vector<Variant> entries;
    for (const ObjectPtr& order : orders) {
      const std::string entry = name + "entry" + std::to_string(entries.size() + 1);
      entries.emplace_back(order
                               ? script_.Object(entry, {{"hasServiceOrderData", Variant(true)},
                                                        {"getServiceOrderData", Variant(order)}})
                               : script_.Object(entry, {{"hasServiceOrderData", Variant(false)}}));
    }
    return Variant(script_.List(name, "sizeJobSheetData", "getJobSheetDataAt", entries));
  }

  ObjectPtr Order(const std::string& id) {
    return script_.Object("so" + id, {{"getServiceOrderAttribute", Variant(id)}});
  }

  ObjectPtr Cancelled(const std::string& id) {
    return script_.Object("cancel" + id, {{"getServiceOrderAttribute", Variant(id)},
                                          {"getCancelledOnAttribute", Variant("20240512")},
                                          {"getCancelledReasonAttribute", Variant("R" + id)}});
  }

  // A job sheets result; a list is announced only when given.
  ObjectPtr Result(const std::string& name, std::optional<std::vector<ObjectPtr>> new_orders,
                   std::optional<std::vector<ObjectPtr>> additions,
                   std::optional<std::vector<ObjectPtr>> cancellations) {
    const ObjectPtr result = script_.Object(name);
    if (new_orders) {
      script_.Answer(name, "hasNewJobSheets", Variant(true));
      script_.Answer(name, "getNewJobSheets", JobSheetList(name + "new", *new_orders));
    }
    if (additions) {
      script_.Answer(name, "hasAdditionJobSheets", Variant(true));
      script_.Answer(name, "getAdditionJobSheets", JobSheetList(name + "add", *additions));
    }
    if (cancellations) {
      std::vector<Variant> entries(cancellations->begin(), cancellations->end());
      script_.Answer(name, "hasCancellationJobSheets", Variant(true));
      script_.Answer(name, "getCancellationJobSheets",
                     Variant(script_.List(name + "cancel", "sizeCancelOrder", "getCancelOrderAt",
                                          std::move(entries))));
    }
    return result;
  }

  ObjectPtr Response(const std::string& name, ObjectPtr errors, ObjectPtr result,
                     ObjectPtr state = nullptr) {
    return script_.Object(name, {{"getOErrorStruct", Variant(errors)},
                                 {"getOJobSheets", Variant(result)},
                                 {"getIoState", Variant(state)}});
  }

  ObjectPtr State(const std::string& name, Variant completed) {
    return script_.Object(name, {{"completedStateAttribute", std::move(completed)}});
  }

  // A single portion with nothing to send.
  void ScriptNothingToSend() {
    ScriptPortions({{Variant(std::int32_t{0}),
                     Response("response", Errors("noerrors", {}),
                              Result("result", std::nullopt, std::nullopt, std::nullopt))}});
  }

  // A sink that keeps the warnings of the calls in warnings_.
  WarningSink Warnings() {
    return [this](std::string_view warning) { warnings_.emplace_back(warning); };
  }

  static bool HoldsConnection() { return ThreadConnection::ForCurrentThread().HoldsConnection(); }

  test_support::ScopedTempDir folder_;
  std::string dsn_;
  ErpScript script_;
  automation::ComponentRegistry registry_;
  Variant job_sheets_ = Variant("previous");
  Variant error_details_ = Variant("stale");
  std::vector<std::string> warnings_;
};

TEST_F(GetJobSheetsTest, TurnsTheRequestIntoInputObjectsInRequestOrder) {
  ScriptNothingToSend();
  // The inspections come first in this request; the ERP receives the lists in the fixed order
  // materials, labors, others, inspections.
  const std::string request = R"(<jobsheets>
      <serviceorder id="SO1">
        <activities>
          <activity id="10">
            <inspections><inspection lineid="5"/></inspections>
            <materials><material lineid="1"/><material lineid="2"/></materials>
            <labors><labor lineid="3"/></labors>
            <others><other lineid="4"/></others>
          </activity>
          <activity id="20"/>
        </activities>
      </serviceorder>
      <group><serviceorder id="SO2"><activities/></serviceorder></group>
    </jobsheets>)";

  ASSERT_TRUE(Get("jdoe", request)) << error_details_.DebugString();
  EXPECT_EQ(job_sheets_, Variant("<jobsheets></jobsheets>"));
  EXPECT_EQ(error_details_, Variant(""));
  EXPECT_FALSE(HoldsConnection());

  const std::string p = "create Q72dVXRsvordJobSheets.";
  EXPECT_THAT(
      script_.erp().Journal(),
      ElementsAre(
          p + "iJobSheets#1", p + "InputServiceOrderWithOutData#1",
          "call InputServiceOrderWithOutData#1.setServiceOrderAttribute(Text(\"SO1\"))",
          p + "InputActivitiesWithOutData#1", p + "InputActivityWithOutData#1",
          "call InputActivityWithOutData#1.setActivityAttribute(Text(\"10\"))",
          p + "InputMaterialsWithOutData#1", p + "InputMaterialWithOutData#1",
          "call InputMaterialWithOutData#1.setCostLineAttribute(Text(\"1\"))",
          "call InputMaterialsWithOutData#1.addInputMaterialWithOutData("
          "Object(InputMaterialWithOutData#1))",
          p + "InputMaterialWithOutData#2",
          "call InputMaterialWithOutData#2.setCostLineAttribute(Text(\"2\"))",
          "call InputMaterialsWithOutData#1.addInputMaterialWithOutData("
          "Object(InputMaterialWithOutData#2))",
          "call InputActivityWithOutData#1.setInputMaterialsWithOutData("
          "Object(InputMaterialsWithOutData#1))",
          p + "InputLaborsWithOutData#1", p + "InputLaborWithOutData#1",
          "call InputLaborWithOutData#1.setCostLineAttribute(Text(\"3\"))",
          "call InputLaborsWithOutData#1.addInputLaborWithOutData(Object(InputLaborWithOutData#1))",
          "call InputActivityWithOutData#1.setInputLaborsWithOutData("
          "Object(InputLaborsWithOutData#1))",
          p + "InputOthersWithOutData#1", p + "InputOtherWithOutData#1",
          "call InputOtherWithOutData#1.setCostLineAttribute(Text(\"4\"))",
          "call InputOthersWithOutData#1.addInputOtherWithOutData(Object(InputOtherWithOutData#1))",
          "call InputActivityWithOutData#1.setInputOthersWithOutData("
          "Object(InputOthersWithOutData#1))",
          p + "InputInspectionsWithOutData#1", p + "InputInspectionWithOutData#1",
          "call InputInspectionWithOutData#1.setInspectionLineAttribute(Text(\"5\"))",
          "call InputInspectionsWithOutData#1.addInputInspectionWithOutData("
          "Object(InputInspectionWithOutData#1))",
          "call InputActivityWithOutData#1.setInputInspectionsWithOutData("
          "Object(InputInspectionsWithOutData#1))",
          "call InputActivitiesWithOutData#1.addInputActivityWithOutData("
          "Object(InputActivityWithOutData#1))",
          p + "InputActivityWithOutData#2",
          "call InputActivityWithOutData#2.setActivityAttribute(Text(\"20\"))",
          "call InputActivitiesWithOutData#1.addInputActivityWithOutData("
          "Object(InputActivityWithOutData#2))",
          "call InputServiceOrderWithOutData#1.addInputActivitiesWithOutData("
          "Object(InputActivitiesWithOutData#1))",
          "call iJobSheets#1.addInputServiceOrderWithOutData("
          "Object(InputServiceOrderWithOutData#1))",
          p + "InputServiceOrderWithOutData#2",
          "call InputServiceOrderWithOutData#2.setServiceOrderAttribute(Text(\"SO2\"))",
          p + "InputActivitiesWithOutData#2",
          "call InputServiceOrderWithOutData#2.addInputActivitiesWithOutData("
          "Object(InputActivitiesWithOutData#2))",
          "call iJobSheets#1.addInputServiceOrderWithOutData("
          "Object(InputServiceOrderWithOutData#2))",
          p + "JobSheetsManager#1", p + "OJobSheets#1", p + "ioState#1", p + "OErrorStruct#1",
          "call JobSheetsManager#1.Initialize(Text(\"BC7\"))", kManagerCall,
          "call response#1.getOErrorStruct()", "call noerrors#1.sizeError()",
          "call response#1.getOJobSheets()", "call result#1.hasNewJobSheets()",
          "call result#1.hasAdditionJobSheets()", "call result#1.hasCancellationJobSheets()",
          "call JobSheetsManager#1.Close()"))
      << script_.erp().JournalText();
}

TEST_F(GetJobSheetsTest, AServiceOrderWithoutChildrenGetsAnEmptyActivitiesReference) {
  registry_.Register("Q72dVXRsvordJobSheets.InputServiceOrderWithOutData",
                     std::make_shared<EmptyReferenceMarker>(script_.erp()));
  ScriptNothingToSend();
  ASSERT_TRUE(Get("jdoe", "<r><serviceorder id='SO2'/></r>")) << error_details_.DebugString();
  EXPECT_THAT(script_.erp().Journal("InputServiceOrderWithOutData#1"),
              ElementsAre("create Q72dVXRsvordJobSheets.InputServiceOrderWithOutData#1",
                          "call InputServiceOrderWithOutData#1.setServiceOrderAttribute("
                          "Text(\"SO2\"))",
                          "call InputServiceOrderWithOutData#1.addInputActivitiesWithOutData("
                          "Object(Nothing#1))"));
  EXPECT_THAT(script_.erp().Journal("create Q72dVXRsvordJobSheets.InputActivit"), IsEmpty());
  EXPECT_THAT(script_.erp().Journal("addInputServiceOrderWithOutData"), ::testing::SizeIs(1));
}

TEST_F(GetJobSheetsTest, EmptyOrMalformedRequestsGiveAnInputWithoutServiceOrders) {
  for (const std::string& request :
       {std::string(), std::string("not xml"), std::string("<a><serviceorder id='1'>"),
        std::string("<a/><b/>"), std::string("<a><serviceorder id='1'/>&nbsp;</a>"),
        std::string("<a><serviceorder id='1' id='2'/></a>"),
        "<a><serviceorder id='1'/>" + test_support::Deep("") + "</a>"}) {
    SCOPED_TRACE(request.substr(0, 60));
    script_.erp().ClearJournal();
    ScriptNothingToSend();
    EXPECT_TRUE(Get("jdoe", request)) << error_details_.DebugString();
    EXPECT_EQ(job_sheets_, Variant("<jobsheets></jobsheets>"));
    const std::vector<std::string> journal = script_.erp().Journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_THAT(journal[0], HasSubstr("create Q72dVXRsvordJobSheets.iJobSheets#"));
    EXPECT_THAT(journal[1], HasSubstr("create Q72dVXRsvordJobSheets.JobSheetsManager#"));
    EXPECT_THAT(script_.erp().Journal("addInputServiceOrderWithOutData"), IsEmpty());
  }
}

TEST_F(GetJobSheetsTest, RequestsThatCannotBecomeInputFailBeforeTheErp) {
  struct Case {
    std::string request;
    std::string error;
  };
  const std::string prefix = "Object variable or With block variable not set: the request's ";
  const std::vector<Case> cases = {
      {"<r><serviceorder/></r>", prefix + "element 'serviceorder' has no 'id' attribute"},
      {"<r><serviceorder id='7'><details/></serviceorder></r>",
       prefix + "serviceorder '7' has child nodes but no 'activities' element"},
      {"<serviceorder id='7'>some text</serviceorder>",
       prefix + "serviceorder '7' has child nodes but no 'activities' element"},
      {"<serviceorder id='7'><activities><activity/></activities></serviceorder>",
       prefix + "element 'activity' has no 'id' attribute"},
      {"<serviceorder id='7'><activities>text</activities></serviceorder>",
       prefix + "text node has no 'id' attribute"},
      {"<serviceorder id='7'><activities><a id='1'><materials><material/></materials></a>"
       "</activities></serviceorder>",
       prefix + "element 'material' has no 'lineid' attribute"},
      {"<serviceorder id='7'><activities><a id='1'><inspections><inspection mseq='1'/>"
       "</inspections></a></activities></serviceorder>",
       prefix + "element 'inspection' has no 'lineid' attribute"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.request);
    script_.erp().ClearJournal();
    EXPECT_FALSE(Get("jdoe", test.request));
    EXPECT_EQ(error_details_, Variant(test.error));
    EXPECT_EQ(job_sheets_, Variant("previous"));
    EXPECT_THAT(script_.erp().Journal("JobSheetsManager"), IsEmpty());
    EXPECT_FALSE(HoldsConnection());
  }
}

TEST_F(GetJobSheetsTest, ConcatenatesPortionsInOrderUntilTheStateIsComplete) {
  const ObjectPtr first_errors = Errors("errors1", {});
  const ObjectPtr second_errors = Errors("errors2", {});
  const ObjectPtr open_state = State("state1", Variant(std::int32_t{0}));
  const ObjectPtr done_state = State("state2", Variant(std::int32_t{1}));
  ScriptPortions(
      {{Variant(std::int32_t{1}),
        Response("response1", first_errors,
                 Result("result1", std::vector<ObjectPtr>{Order("A"), nullptr, Order("B")},
                        std::vector<ObjectPtr>{Order("C")}, std::vector<ObjectPtr>{Cancelled("X")}),
                 open_state)},
       {Variant(std::int32_t{1}),
        Response("response2", second_errors,
                 Result("result2", std::vector<ObjectPtr>{Order("D")}, std::vector<ObjectPtr>{},
                        std::vector<ObjectPtr>{Cancelled("Y")}),
                 done_state)}});

  ASSERT_TRUE(Get("jdoe", "")) << error_details_.DebugString();
  EXPECT_EQ(job_sheets_.AsText(), "<jobsheets><new>" + BareDocument("A") + BareDocument("B") +
                                      BareDocument("D") + "</new><append>" + BareDocument("C") +
                                      "</append><cancellations>"
                                      "<serviceorder id='X' cadt='20240512' cdis='RX' />"
                                      "<serviceorder id='Y' cadt='20240512' cdis='RY' />"
                                      "</cancellations></jobsheets>");
  EXPECT_EQ(error_details_, Variant(""));

  // The second portion receives the flag the ERP set, the state of the first response and
  // its error structure; the manager is closed once, after the last portion.
  EXPECT_THAT(script_.erp().Journal("call JobSheetsManager#1."),
              ElementsAre("call JobSheetsManager#1.Initialize(Text(\"BC7\"))", kManagerCall,
                          "call JobSheetsManager#1.getJobSheets(Text(\"E100\"), "
                          "Object(iJobSheets#1), Object(OJobSheets#1), Int32(1), "
                          "Object(state1#1), Object(errors1#1), Int32(0))",
                          "call JobSheetsManager#1.Close()"));
  EXPECT_THAT(
      LinesWith(script_.erp().Journal(), {"getIoState", "completedStateAttribute"}),
      ElementsAre("call response1#1.getIoState()", "call state1#1.completedStateAttribute()",
                  "call response2#1.getIoState()", "call state2#1.completedStateAttribute()"));
  EXPECT_FALSE(HoldsConnection());
}

TEST_F(GetJobSheetsTest, ADownloadTheErpNeverCompletesIsStoppedAfterTenThousandPortions) {
  // Every portion says more follow and hands back a state that is never complete.
  const ObjectPtr response =
      Response("response", Errors("noerrors", {}),
               Result("result", std::vector<ObjectPtr>{Order("A")}, std::nullopt, std::nullopt),
               State("state", Variant(std::int32_t{0})));
  auto calls = std::make_shared<int>(0);
  script_.erp().OnCall("JobSheetsManager", "getJobSheets",
                       [response, calls](std::span<Variant> args) {
                         ++*calls;
                         args[3] = Variant(std::int32_t{1});
                         return Variant(response);
                       });

  job_sheets_ = Variant("previous");
  EXPECT_FALSE(Get("jdoe", ""));
  EXPECT_EQ(*calls, 10000);
  EXPECT_EQ(error_details_,
            Variant("The ERP did not complete the download of employee E100 within 10000 "
                    "portions (it kept saying that more follow); the download was stopped"));
  EXPECT_EQ(job_sheets_, Variant(""));  // nothing of the portions is handed out
  EXPECT_THAT(script_.erp().Journal(), Not(Contains("call JobSheetsManager#1.Close()")));
  EXPECT_FALSE(HoldsConnection());
}

TEST_F(GetJobSheetsTest, AZeroContinuationFlagEndsWithoutAskingTheState) {
  ScriptPortions(
      {{Variant(std::int32_t{0}),
        Response("response", Errors("noerrors", {}),
                 Result("result", std::vector<ObjectPtr>{Order("A")}, std::nullopt, std::nullopt),
                 State("state", Variant(std::int32_t{0})))}});
  ASSERT_TRUE(Get("jdoe", "")) << error_details_.DebugString();
  EXPECT_EQ(job_sheets_.AsText(), "<jobsheets><new>" + BareDocument("A") + "</new></jobsheets>");
  EXPECT_THAT(warnings_, IsEmpty());  // nothing was repaired
  EXPECT_THAT(script_.erp().Journal("getJobSheets("), ::testing::SizeIs(1));
  EXPECT_THAT(script_.erp().Journal("getIoState"), IsEmpty());
  EXPECT_THAT(script_.erp().Journal("completedStateAttribute"), IsEmpty());
}

TEST_F(GetJobSheetsTest, ErpErrorsInALaterPortionDiscardEarlierPortions) {
  ScriptPortions(
      {{Variant(std::int32_t{1}),
        Response("response1", Errors("errors1", {}),
                 Result("result1", std::vector<ObjectPtr>{Order("A")}, std::nullopt, std::nullopt),
                 State("state1", Variant::Null()))},
       {Variant(std::int32_t{1}),
        Response(
            "response2",
            Errors("errors2", {Variant("order <A> & co is locked"), Variant::Null(),
                               Variant("employee E100 unknown")}),
            Result("result2", std::vector<ObjectPtr>{Order("B")}, std::nullopt, std::nullopt))}});
  EXPECT_FALSE(Get("jdoe", ""));
  EXPECT_EQ(job_sheets_, Variant(""));
  EXPECT_EQ(error_details_,
            Variant("<errors><error>order &lt;A&gt; &amp; co is locked</error><error>"
                    "</error><error>employee E100 unknown</error></errors>"));
  EXPECT_THAT(script_.erp().Journal(), Not(Contains("call JobSheetsManager#1.Close()")));
  EXPECT_THAT(script_.erp().Journal("result2"), IsEmpty());
  EXPECT_FALSE(HoldsConnection());
}

// Whatever the ERP's values hold, the response is well-formed XML: markup characters are
// escaped also where values are written as delivered (head attributes, as-delivered details),
// and control characters or bytes that are not UTF-8 become U+FFFD, with one warning.
TEST_F(GetJobSheetsTest, ValuesXmlCannotCarryAreReplacedAndReportedOnce) {
  const std::string r(kReplacementCharacter);
  const ObjectPtr details =
      script_.Object("detailsX", {{"hasOrderStatus", Variant(true)},
                                  {"getOrderStatus", Variant("\xFF"
                                                             "open")},
                                  {"hasBusinessPartnerName", Variant(true)},
                                  {"getBusinessPartnerName", Variant("Smith & Sons\x0B")}});
  const ObjectPtr order = script_.Object("soX", {{"getServiceOrderAttribute", Variant("SO\x01"
                                                                                      "1")},
                                                 {"getOriginAttribute", Variant("o&<")},
                                                 {"getInvoiceidAttribute", Variant("inv\xC3")},
                                                 {"getOrderDetails", Variant(details)}});
  const ObjectPtr cancelled =
      script_.Object("cancelX", {{"getServiceOrderAttribute", Variant("C1")},
                                 {"getCancelledOnAttribute", Variant("2024<05")},
                                 {"getCancelledReasonAttribute", Variant("R\x0B")}});
  ScriptPortions({{Variant(std::int32_t{0}),
                   Response("response", Errors("noerrors", {}),
                            Result("result", std::vector<ObjectPtr>{order}, std::nullopt,
                                   std::vector<ObjectPtr>{cancelled}))}});

  ASSERT_TRUE(Get("jdoe", "")) << error_details_.DebugString();
  const std::string response = job_sheets_.AsText();
  const std::optional<std::string> fault =
      ::tqs::xml::CheckWellFormed(response, ::tqs::xml::TextEncoding::kUtf8);
  EXPECT_FALSE(fault) << *fault;
  EXPECT_EQ(response, "<jobsheets><new><jobsheet><serviceorder id='SO" + r +
                          "1' origin='o&amp;&lt;' type='' owner='' allowedactions='' "
                          "actionsperformed='' invoiceid = 'inv" +
                          r + "' ><details><osta>" + r + "open</osta><nama>Smith &amp; Sons" + r +
                          "</nama></details></serviceorder></jobsheet></new><cancellations>"
                          "<serviceorder id='C1' cadt='2024&lt;05' cdis='R" +
                          r + "' /></cancellations></jobsheets>");
  ASSERT_THAT(warnings_, ::testing::SizeIs(1));
  EXPECT_THAT(warnings_[0], HasSubstr("employee E100"));
  EXPECT_THAT(warnings_[0], HasSubstr("5 character(s)"));
}

TEST_F(GetJobSheetsTest, TheErpErrorDocumentIsWellFormedWhateverTheErrorsHold) {
  ScriptPortions({{Variant(std::int32_t{0}),
                   Response("response",
                            Errors("errors", {Variant("order <A> & \"co\"\x01"),
                                              Variant("bad \xE0\x80\xAF byte")}),
                            Result("result", std::nullopt, std::nullopt, std::nullopt))}});
  EXPECT_FALSE(Get("jdoe", ""));
  const std::string r(kReplacementCharacter);
  const std::string document = error_details_.AsText();
  const std::optional<std::string> fault =
      ::tqs::xml::CheckWellFormed(document, ::tqs::xml::TextEncoding::kUtf8);
  EXPECT_FALSE(fault) << *fault;
  EXPECT_EQ(document, "<errors><error>order &lt;A&gt; &amp; &quot;co&quot;" + r +
                          "</error><error>bad " + r + r + r + " byte</error></errors>");
  ASSERT_THAT(warnings_, ::testing::SizeIs(1));
  EXPECT_THAT(warnings_[0], HasSubstr("4 character(s)"));
  EXPECT_THAT(warnings_[0], HasSubstr("ERP error document"));
}

TEST_F(GetJobSheetsTest, AFailingJobSheetDocumentFailsTheCallWithTheWritersText) {
  const ObjectPtr broken = Order("B");
  script_.Raise("soB", "getOriginAttribute",
                Error(error_number::kGenericFailure, "origin of order B unreadable"));
  ScriptPortions(
      {{Variant(std::int32_t{0}), Response("response", Errors("noerrors", {}),
                                           Result("result", std::vector<ObjectPtr>{Order("A")},
                                                  std::vector<ObjectPtr>{broken}, std::nullopt))}});
  EXPECT_FALSE(Get("jdoe", ""));
  EXPECT_EQ(job_sheets_, Variant(""));
  EXPECT_EQ(error_details_, Variant("origin of order B unreadable"));
  EXPECT_THAT(script_.erp().Journal(), Not(Contains("call JobSheetsManager#1.Close()")));
  EXPECT_FALSE(HoldsConnection());
}

TEST_F(GetJobSheetsTest, ErpFailuresAreReportedWithTheirText) {
  // The manager's call fails: the response stays empty.
  script_.erp().Throws("JobSheetsManager", "getJobSheets",
                       Error(error_number::kGenericFailure, "business component BC7 not found"));
  EXPECT_FALSE(Get("jdoe", ""));
  EXPECT_EQ(job_sheets_, Variant(""));
  EXPECT_EQ(error_details_, Variant("business component BC7 not found"));
  EXPECT_FALSE(HoldsConnection());

  // An ERP object cannot be created: the response is left as it was.
  job_sheets_ = Variant("previous");
  script_.erp().FailCreate(
      "Q72dVXRsvordJobSheets.OJobSheets",
      Error(error_number::kCannotCreateComponent, "OJobSheets not registered"));
  EXPECT_FALSE(Get("jdoe", ""));
  EXPECT_EQ(job_sheets_, Variant("previous"));
  EXPECT_EQ(error_details_, Variant("OJobSheets not registered"));
  EXPECT_FALSE(HoldsConnection());
}

TEST_F(GetJobSheetsTest, LoginAndDatabaseFailuresLeaveTheResponseUnchanged) {
  // The error texts are those of the login look-up and of opening the connection.
  auto connection = db::Connection::Open(dsn_);
  const std::string unknown_login =
      test_support::ErrorDescriptionOf([&] { LookUpLogin(*connection, "nobody"); });
  const std::string null_component =
      test_support::ErrorDescriptionOf([&] { LookUpLogin(*connection, "nobc"); });
  connection.reset();
  ASSERT_NE(unknown_login, "(no error)");
  ASSERT_NE(null_component, "(no error)");

  EXPECT_FALSE(Get("nobody", ""));
  EXPECT_EQ(error_details_, Variant(unknown_login));
  EXPECT_EQ(job_sheets_, Variant("previous"));
  EXPECT_FALSE(HoldsConnection());

  EXPECT_FALSE(Get("nobc", ""));
  EXPECT_EQ(error_details_, Variant(null_component));
  EXPECT_EQ(job_sheets_, Variant("previous"));
  EXPECT_THAT(script_.erp().Journal(), IsEmpty());

  const std::string missing_dsn =
      "Provider=SQLite;Data Source=" + (folder_.path() / "missing" / "server.db").string();
  ThreadConnection probe;
  probe.set_connection_string(missing_dsn);
  std::string open_error;
  ASSERT_FALSE(probe.OpenConnection(open_error));
  ASSERT_FALSE(open_error.empty());
  EXPECT_FALSE(
      GetJobSheets(registry_, "jdoe", "", missing_dsn, job_sheets_, error_details_, Warnings()));
  EXPECT_EQ(error_details_, Variant(open_error));
  EXPECT_EQ(job_sheets_, Variant("previous"));
  EXPECT_FALSE(HoldsConnection());
  EXPECT_THAT(script_.erp().Journal(), IsEmpty());

  // A login with an apostrophe is looked up like any other.
  ScriptNothingToSend();
  EXPECT_TRUE(Get("o'neil", "")) << error_details_.DebugString();
  EXPECT_THAT(script_.erp().Journal(),
              Contains("call JobSheetsManager#1.Initialize(Text(\"BC8\"))"));
}

}  // namespace
}  // namespace tqs::server::download
