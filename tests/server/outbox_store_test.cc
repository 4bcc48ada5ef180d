#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "platform/xml/xml.h"
#include "server/job_sheet_interaction.h"
#include "server/jobsheet.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/deep_xml.h"
#include "tests/support/error_testing.h"

namespace tqs::server {
namespace {

using automation::Variant;
using test_support::ErrorNumberOf;

std::string JobSheetItem(const std::string& id, const std::string& order_actions,
                         const std::string& activity_actions = "",
                         const std::string& on = "20261208") {
  std::string activities;
  if (!activity_actions.empty()) {
    activities = "<activities><activity id='10' actionsperformed='" + activity_actions +
                 "'/><activity id='20' actionsperformed='RDC'/></activities>";
  }
  return "<item interactionon='" + on + "' id='" + id + "'><jobsheet><serviceorder id='" +
         id.substr(0, id.find('_')) + "' actionsperformed='" + order_actions + "'>" + activities +
         "</serviceorder></jobsheet></item>";
}

std::string Inspection(const std::string& id, const std::string& robot) {
  return "<SERVICEINSPECTION><DOCINFO><INTERACTIONON>20261208</INTERACTIONON></DOCINFO>"
         "<ATTRIBUTES><ID>" + id + "</ID><CCFG>C1</CCFG><CROB>" + robot +
         "</CROB><OSEQ>3</OSEQ></ATTRIBUTES><VALUES><V>1.5</V></VALUES></SERVICEINSPECTION>";
}

class OutboxStoreTest : public testing::ServerDatabaseTest {
 protected:
  std::string Upload(const std::string& sections, const std::string& employee = "1001") {
    Variant result = "unchanged";
    EXPECT_TRUE(job_sheet_.StoreOutboxContent("<businessdocuments>" + sections +
                                                  "</businessdocuments>",
                                              employee, dsn_, result));
    return result.AsText();
  }

  // Expects every one of `items` (the start of an answered item) in `feedback`.
  static void ExpectItems(const std::string& feedback, const std::vector<std::string>& items) {
    for (const std::string& item : items) {
      EXPECT_NE(feedback.find(item), std::string::npos) << item << "\nin " << feedback;
    }
  }
  // Job sheets 1_0, 2_0, 3_0 and `repeated` once more, then inspection SI1.
  static std::string ThreeJobSheetsAndAnInspection(const std::string& repeated) {
    return "<jobsheets>" + JobSheetItem("1_0", "RDP") + JobSheetItem("2_0", "RDP") +
           JobSheetItem("3_0", "RDP") + JobSheetItem(repeated, "RDP") + "</jobsheets>" +
           "<SERVICEINSPECTIONS>" + Inspection("SI1", "R1") + "</SERVICEINSPECTIONS>";
  }
  // Expects, of ThreeJobSheetsAndAnInspection: 2_0 answered as
  // not stored, with `reason` in its description, and the others stored under numbers without
  // a gap.
  static void ExpectOnlyTheSecondJobSheetRefused(const std::string& feedback,
                                                 std::string_view reason) {
    const std::string::size_type refused = feedback.find(
        "<jobsheet interactionon=\"20261208\" interactionid=\"2\" headerid=\"2\" "
        "errortype=\"normal\" errordesc=\"");
    ASSERT_NE(refused, std::string::npos) << feedback;
    EXPECT_NE(feedback.find(reason, refused), std::string::npos) << feedback;
    ExpectItems(feedback, {"<jobsheet interactionon=\"20261208\" interactionid=\"1\" headerid=\"1\" "
                           "errortype=\"\" errordesc=\"\"/>",
                           "<jobsheet interactionon=\"20261208\" interactionid=\"2\" headerid=\"3\" "
                           "errortype=\"\" errordesc=\"\"/>",
                           "<SERVICEINSPECTION interactionon=\"20261208\" interactionid=\"1\" "
                           "headerid=\"SI1\" errortype=\"\" errordesc=\"\"/>"});
  }

  automation::ComponentRegistry components_;
  JobSheet job_sheet_{components_};
};

TQS_INSTANTIATE_FOR_BACKENDS(OutboxStoreTest);

TEST_P(OutboxStoreTest, JobSheetsAreNumberedAndReSentOnesAreConflicts) {
  EXPECT_EQ(Upload("<jobsheets>" + JobSheetItem("4711_0", "RDP,MD") +
                   JobSheetItem("4712_0", "RDC", "RDP") + "</jobsheets>"),
            "<uploadfeedback><jobsheets>"
            "<jobsheet interactionon=\"20261208\" interactionid=\"1\" headerid=\"4711\" "
            "errortype=\"\" errordesc=\"\"/>"
            "<jobsheet interactionon=\"20261208\" interactionid=\"2\" headerid=\"4712,10\" "
            "errortype=\"\" errordesc=\"\"/>"
            "</jobsheets></uploadfeedback>");
  EXPECT_EQ(Scalar("SELECT INTERACTIONNAME FROM CLIENTSERVERINTERACTION WHERE INTERACTIONID=2"),
            "15");
  // The stored document is the item's job sheet element, as sent.
  EXPECT_EQ(Scalar("SELECT BUSINESSDOCUMENTCONTENTS FROM CLIENTSERVERINTERACTION WHERE "
                   "INTERACTIONID=1"),
            "<jobsheet><serviceorder id=\"4711\" actionsperformed=\"RDP,MD\"/></jobsheet>");

  // The same job sheet again is a conflict naming its number; re-sent with another
  // classification it is a new document.
  EXPECT_EQ(Upload("<jobsheets>" + JobSheetItem("4711_0", "RDP,MD") +
                   JobSheetItem("4711_0", "RDC") + "</jobsheets>"),
            "<uploadfeedback><jobsheets>"
            "<jobsheet interactionon=\"20261208\" interactionid=\"1\" headerid=\"4711\" "
            "errortype=\"conflict\" errordesc=\"\"/>"
            "<jobsheet interactionon=\"20261208\" interactionid=\"3\" headerid=\"4711\" "
            "errortype=\"\" errordesc=\"\"/>"
            "</jobsheets></uploadfeedback>");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "3");
  // Another employee's identical job sheet is not a conflict.
  EXPECT_NE(Upload("<jobsheets>" + JobSheetItem("4711_0", "RDP,MD") + "</jobsheets>", "1002")
                .find("interactionid=\"1\" headerid=\"4711\" errortype=\"\""),
            std::string::npos);
}

TEST_P(OutboxStoreTest, HoursAloneAnswerOnlyHoursAndAreDuplicateTested) {
  const std::string hour =
      "<hour interactionon='ON1' lineid='L7'><rgdt>12/08/2026</rgdt><sptm>1.5</sptm></hour>";
  EXPECT_EQ(Upload("<generalhours>" + hour + "</generalhours>"),
            "<uploadfeedback><generalhours><hour interactionon=\"ON1\" interactionid=\"1\" "
            "headerid=\"L7\" errortype=\"\" errordesc=\"\"/></generalhours></uploadfeedback>");
  EXPECT_NE(Upload("<generalhours>" + hour + "</generalhours>").find("errortype=\"conflict\""),
            std::string::npos);
  EXPECT_EQ(Scalar("SELECT BUSINESSDOCUMENTCONTENTS || '|' || BUSINESSDOCUMENTTYPE || '|' || "
                   "INTERACTIONNAME FROM CLIENTSERVERINTERACTION"),
            "<hour interactionon=\"ON1\" lineid=\"L7\"><rgdt>12/08/2026</rgdt><sptm>1.5</sptm>"
            "</hour>|10|30");
}

TEST_P(OutboxStoreTest, ServiceInspectionsAreNeverConflictsAndLoseTheirDocInfo) {
  const std::string section = "<SERVICEINSPECTIONS>" + Inspection("SI1", "R9") +
                              Inspection("SI1", "R9") + "</SERVICEINSPECTIONS>";
  EXPECT_EQ(Upload(section),
            "<uploadfeedback><SERVICEINSPECTIONS>"
            "<SERVICEINSPECTION interactionon=\"20261208\" interactionid=\"1\" headerid=\"SI1\" "
            "errortype=\"\" errordesc=\"\"/>"
            "<SERVICEINSPECTION interactionon=\"20261208\" interactionid=\"2\" headerid=\"SI1\" "
            "errortype=\"\" errordesc=\"\"/>"
            "</SERVICEINSPECTIONS></uploadfeedback>");
  EXPECT_EQ(Scalar("SELECT BUSINESSDOCUMENTID || '|' || INTERACTIONNAME FROM "
                   "CLIENTSERVERINTERACTION WHERE INTERACTIONID=2"),
            "C1_R9_3|35");
  EXPECT_EQ(Scalar("SELECT BUSINESSDOCUMENTCONTENTS FROM CLIENTSERVERINTERACTION WHERE "
                   "INTERACTIONID=1"),
            "<SERVICEINSPECTION><ATTRIBUTES><ID>SI1</ID><CCFG>C1</CCFG><CROB>R9</CROB><OSEQ>3</OSEQ>"
            "</ATTRIBUTES><VALUES><V>1.5</V></VALUES></SERVICEINSPECTION>");
}

TEST_P(OutboxStoreTest, SectionsAnswerInFixedOrderAndBadItemsDoNotStopTheUpload) {
  const std::string feedback =
      Upload("<SERVICEINSPECTIONS><SERVICEINSPECTION><ATTRIBUTES><ID>SI2</ID></ATTRIBUTES>"
             "</SERVICEINSPECTION>" + Inspection("SI3", "R1") + "</SERVICEINSPECTIONS>"
             "<jobsheets>" + JobSheetItem("1_0", "RDP") +
             "<item id='2_0'><jobsheet/></item>"
             "<item interactionon='20261208' id='3_0'/>"
             "stray text" + JobSheetItem("4_0", "XX") + "</jobsheets>");
  const auto at = [&](const char* text) { return feedback.find(text); };
  // jobsheets first, whatever the envelope's order; every item answered in envelope order.
  EXPECT_LT(at("<jobsheets>"), at("<SERVICEINSPECTIONS>"));
  EXPECT_NE(at("interactionid=\"1\" headerid=\"1\" errortype=\"\""), std::string::npos);
  EXPECT_NE(at("interactionon=\"\" interactionid=\"0\" headerid=\"\" errortype=\"normal\" "
               "errordesc=\"The job sheet item lacks the attribute 'interactionon'"),
            std::string::npos);
  // An item without a job sheet document: classification fails, reported as "normal".
  EXPECT_NE(at("interactionon=\"20261208\" interactionid=\"0\" headerid=\"\" errortype=\"normal\" "
               "errordesc=\"Object variable or With block variable not set"),
            std::string::npos);
  EXPECT_NE(at("errordesc=\"The jobsheets section holds text"), std::string::npos);
  // Unrecognised performed actions are stored with code 0.
  EXPECT_NE(at("interactionid=\"2\" headerid=\"4\" errortype=\"\""), std::string::npos);
  EXPECT_NE(at("headerid=\"\" errortype=\"normal\" errordesc=\"The service inspection lacks the "
               "element 'DOCINFO'"),
            std::string::npos);
  EXPECT_NE(at("interactionid=\"1\" headerid=\"SI3\" errortype=\"\""), std::string::npos);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "3");
  EXPECT_EQ(Scalar("SELECT INTERACTIONNAME FROM CLIENTSERVERINTERACTION WHERE "
                   "BUSINESSDOCUMENTID='4_0'"),
            "0");
}

TEST_P(OutboxStoreTest, MalformedOutboxOrUnreachableDatabase) {
  Variant result;
  EXPECT_TRUE(job_sheet_.StoreOutboxContent("<businessdocuments><jobsheets>", "1001", dsn_,
                                            result));
  EXPECT_EQ(result.AsText(), "<uploadfeedback/>");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "0");

  // Every item fails with the provider's message, then the call fails and o_vResult stays.
  result = "unchanged";
  const std::string missing = "Provider=SQLite;Data Source=" + (folder_ / "nope.db").string();
  EXPECT_THROW(job_sheet_.StoreOutboxContent("<businessdocuments><jobsheets>" +
                                                 JobSheetItem("1_0", "RDP") +
                                                 "</jobsheets></businessdocuments>",
                                             "1001", missing, result),
               Error);
  EXPECT_EQ(result.AsText(), "unchanged");
  // The thread holds no connection afterwards: the next call works.
  EXPECT_NE(Upload("<jobsheets>" + JobSheetItem("1_0", "RDP") + "</jobsheets>")
                .find("interactionid=\"1\""),
            std::string::npos);
}

TEST_P(OutboxStoreTest, NotWellFormedOrTooDeepOutboxesStoreNothing) {
  using test_support::Deep;
  const std::string hour = "<generalhours><hour interactionon='D1' lineid='L1'><rgdt>";
  const std::string end_hour = "</rgdt></hour></generalhours>";
  const struct {
    const char* what;
    std::string sections;
  } outboxes[] = {
      {"deep envelope", Deep("<jobsheets/>")},
      {"deep inspection ID",
       "<SERVICEINSPECTIONS><SERVICEINSPECTION><DOCINFO><INTERACTIONON>D1</INTERACTIONON>"
       "</DOCINFO><ATTRIBUTES><ID>" +
           Deep("SI1") +
           "</ID><CCFG>C</CCFG><CROB>R</CROB>"
           "<OSEQ>1</OSEQ></ATTRIBUTES></SERVICEINSPECTION></SERVICEINSPECTIONS>"},
      {"deep hours date", hour + Deep("20261208") + end_hour},
      {"undefined entity", hour + "&nbsp;" + end_hour},
      {"lone ampersand", hour + "R&D" + end_hour},
      {"duplicate attribute",
       "<generalhours><hour interactionon='D1' lineid='L1' lineid='L2'/></generalhours>"},
      {"less-than in attribute",
       "<generalhours><hour interactionon='D<1' lineid='L1'/></generalhours>"},
      {"forbidden character reference",
       "<generalhours><hour interactionon='D&#1;' lineid='L1'/></generalhours>"},
      {"forbidden raw character", hour + "\x01" + end_hour},
  };
  for (const auto& [what, sections] : outboxes) {
    SCOPED_TRACE(what);
    Variant result;
    EXPECT_TRUE(job_sheet_.StoreOutboxContent(
        "<businessdocuments>" + sections + "</businessdocuments>", "1001", dsn_, result));
    EXPECT_EQ(result.AsText(), "<uploadfeedback/>");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "0");
  }
  // Text after the envelope spoils it as well.
  Variant result;
  job_sheet_.StoreOutboxContent(
      "<businessdocuments>" + hour + "1" + end_hour + "</businessdocuments>\x01", "1001", dsn_,
      result);
  EXPECT_EQ(result.AsText(), "<uploadfeedback/>");

  // What is stored and echoed is only ever what a strict reader accepts.
  const std::string feedback = Upload(hour + "&#xE9;&lt;" + end_hour);
  pugi::xml_document document;
  std::string error;
  EXPECT_TRUE(xml::LoadXml(document, feedback, &error)) << error;
  EXPECT_TRUE(xml::LoadXml(document,
                           Scalar("SELECT BUSINESSDOCUMENTCONTENTS FROM "
                                  "CLIENTSERVERINTERACTION"),
                           &error))
      << error;
  EXPECT_EQ(xml::Text(document), "\xC3\xA9<");
}

TEST_P(OutboxStoreTest, NumbersNeverWrapPastTheLargestAndOtherScopesGoOn) {
  const auto hour = [](const std::string& on, const std::string& line) {
    return "<hour interactionon='" + on + "' lineid='" + line + "'><sptm>1</sptm></hour>";
  };
  Upload("<generalhours>" + hour("ON1", "L1") + "</generalhours>" + "<SERVICEINSPECTIONS>" +
         Inspection("SI1", "R1") + "</SERVICEINSPECTIONS>");
  Connect()->Execute("UPDATE CLIENTSERVERINTERACTION SET INTERACTIONID=2147483647");

  const std::string feedback = Upload(
      "<jobsheets>" + JobSheetItem("1_0", "RDP", "", "ON1") + "</jobsheets>" + "<generalhours>" +
      hour("ON1", "L2") + hour("ON2", "L3") + hour("ON1", "L4") +
      "</generalhours><SERVICEINSPECTIONS>" + Inspection("SI2", "R2") + "</SERVICEINSPECTIONS>");
  const std::string overflow =
      "errortype=\"normal\" errordesc=\"Overflow: no interaction number is left after "
      "2147483647 for employee";
  ExpectItems(
      feedback,
      {"<jobsheet interactionon=\"ON1\" interactionid=\"1\" headerid=\"1\" errortype=\"\"",
       "<hour interactionon=\"ON1\" interactionid=\"0\" headerid=\"L2\" " + overflow,
       "<hour interactionon=\"ON2\" interactionid=\"1\" headerid=\"L3\" errortype=\"\"",
       "<hour interactionon=\"ON1\" interactionid=\"0\" headerid=\"L4\" " + overflow,
       "<SERVICEINSPECTION interactionon=\"20261208\" interactionid=\"0\" headerid=\"SI2\" " +
           overflow});
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "4");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONID < 1"), "0");
}

// An insert the database refuses (here a trigger, as a constraint or a full table would) costs
// only its own document: the outbox's other documents are stored under numbers without gaps,
// in the same commit. On PostgreSQL the refused statement leaves the transaction unusable until
// it is rolled back to the document's savepoint.
TEST_P(OutboxStoreTest, ADocumentTheDatabaseRefusesIsUndoneAloneAndTheOthersAreStored) {
  Connect()->ExecuteBatch(
      !OnPostgres()
          ? "CREATE TRIGGER refuse_2 BEFORE INSERT ON CLIENTSERVERINTERACTION "
            "WHEN NEW.BUSINESSDOCUMENTID = '2_0' BEGIN SELECT RAISE(ABORT, 'document 2 refused'); "
            "END"
          : "CREATE FUNCTION refuse_2() RETURNS trigger AS $$ BEGIN "
            "IF NEW.BUSINESSDOCUMENTID = '2_0' THEN RAISE EXCEPTION 'document 2 refused'; END IF; "
            "RETURN NEW; END $$ LANGUAGE plpgsql; "
            "CREATE TRIGGER refuse_2 BEFORE INSERT ON CLIENTSERVERINTERACTION "
            "FOR EACH ROW EXECUTE FUNCTION refuse_2()");
  const std::string feedback = Upload(ThreeJobSheetsAndAnInspection("1_0"));
  ExpectOnlyTheSecondJobSheetRefused(feedback, "document 2 refused");
  // Sent twice in the same outbox: the second copy names the first one's number.
  ExpectItems(feedback, {"<jobsheet interactionon=\"20261208\" interactionid=\"1\" "
                         "headerid=\"1\" errortype=\"conflict\" errordesc=\"\"/>"});
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "3");
  EXPECT_EQ(Scalar("SELECT INTERACTIONID FROM CLIENTSERVERINTERACTION WHERE "
                   "BUSINESSDOCUMENTID='3_0'"),
            "2");
}

// The commit of the outbox fails (on PostgreSQL a check that runs only at the commit; the
// reliability suite makes SQLite's disk fail): nothing of the outbox is stored, and no document
// is answered as stored, so the laptop keeps every one of them and sends them again. A document
// stored by an earlier upload stays a conflict; a copy of one that this outbox stored does not.
TEST_P(OutboxStoreTest, AFailedCommitAnswersNoDocumentAsStoredAndStoresNone) {
  if (!OnPostgres()) GTEST_SKIP() << "SQLite fails its commit in tests/reliability";
  Upload("<jobsheets>" + JobSheetItem("1_0", "RDP") + "</jobsheets>");
  Connect()->ExecuteBatch(
      "CREATE FUNCTION refuse_at_commit() RETURNS trigger AS $$ BEGIN "
      "RAISE EXCEPTION 'the outbox is refused at its commit'; END $$ LANGUAGE plpgsql; "
      "CREATE CONSTRAINT TRIGGER refuse_at_commit AFTER INSERT ON CLIENTSERVERINTERACTION "
      "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION refuse_at_commit()");

  const std::string outbox = "<jobsheets>" + JobSheetItem("1_0", "RDP") +
                             JobSheetItem("2_0", "RDP") + JobSheetItem("2_0", "RDP") +
                             "</jobsheets><SERVICEINSPECTIONS>" + Inspection("SI1", "R1") +
                             "</SERVICEINSPECTIONS>";
  const std::string feedback = Upload(outbox);
  const std::string failed = "errortype=\"normal\" errordesc=\"";
  ExpectItems(feedback,
              {"<jobsheet interactionon=\"20261208\" interactionid=\"1\" headerid=\"1\" "
               "errortype=\"conflict\" errordesc=\"\"/>",
               "<jobsheet interactionon=\"20261208\" interactionid=\"2\" headerid=\"2\" " + failed,
               "<SERVICEINSPECTION interactionon=\"20261208\" interactionid=\"1\" "
               "headerid=\"SI1\" " +
                   failed});
  EXPECT_EQ(feedback.find("errortype=\"\""), std::string::npos) << feedback;
  // Both copies of 2_0 and the inspection name the commit's error; neither copy is a conflict.
  int commit_errors = 0;
  for (auto at = feedback.find("the outbox is refused at its commit"); at != std::string::npos;
       at = feedback.find("the outbox is refused at its commit", at + 1)) {
    ++commit_errors;
  }
  EXPECT_EQ(commit_errors, 3) << feedback;
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "1");

  // Sent again once the database takes it: stored now, under the same numbers.
  Connect()->Execute("DROP TRIGGER refuse_at_commit ON CLIENTSERVERINTERACTION");
  const std::string again = Upload(outbox);
  EXPECT_NE(again.find("interactionid=\"2\" headerid=\"2\" errortype=\"\""), std::string::npos)
      << again;
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "3");
}

// The outbox's commit fails because of one document (on PostgreSQL a check that runs only at
// the commit, as a disk with room for some documents but not all fails SQLite's): the documents
// are then stored one by one, each in a commit of its own, so only that document is refused and
// the others are stored and answered so, a copy of one of them as a conflict.
TEST_P(OutboxStoreTest, WhenTheOutboxDoesNotCommitItsDocumentsAreStoredOneByOne) {
  if (!OnPostgres()) GTEST_SKIP() << "SQLite fails its commit in tests/reliability";
  Connect()->ExecuteBatch(
      "CREATE FUNCTION refuse_2_at_commit() RETURNS trigger AS $$ BEGIN "
      "IF NEW.BUSINESSDOCUMENTID = '2_0' THEN RAISE EXCEPTION 'document 2 refused at its commit'; "
      "END IF; RETURN NULL; END $$ LANGUAGE plpgsql; "
      "CREATE CONSTRAINT TRIGGER refuse_2_at_commit AFTER INSERT ON CLIENTSERVERINTERACTION "
      "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION refuse_2_at_commit()");
  const std::string feedback = Upload(ThreeJobSheetsAndAnInspection("3_0"));
  ExpectOnlyTheSecondJobSheetRefused(feedback, "document 2 refused at its commit");
  ExpectItems(feedback, {"<jobsheet interactionon=\"20261208\" interactionid=\"2\" "
                         "headerid=\"3\" errortype=\"conflict\" errordesc=\"\"/>"});
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "3");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE "
                   "BUSINESSDOCUMENTID='2_0'"),
            "0");
  Connect()->Execute("DROP TRIGGER refuse_2_at_commit ON CLIENTSERVERINTERACTION");
}

TEST_P(OutboxStoreTest, TextParametersWithNulOrBytesThatAreNoUtf8AreRefused) {
  const std::string outbox =
      "<businessdocuments><generalhours><hour interactionon='A' "
      "lineid='L1'/></generalhours></businessdocuments>";
  struct Case {
    std::string outbox;
    std::string employee;
    std::string in_description;
  };
  const Case cases[] = {
      {outbox,
       std::string("1001\0"
                   "1002",
                   9),
       "i_sEmployee holds a NUL character"},
      {outbox, "1001\xC3", "i_sEmployee is not valid UTF-8"},
      {outbox + std::string(1, '\0'), "1001", "i_sOutboxContent holds a NUL character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in_description);
    Variant result = "unchanged";
    try {
      job_sheet_.StoreOutboxContent(c.outbox, c.employee, dsn_, result);
      ADD_FAILURE() << "not refused";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), error_number::kInvalidProcedureCall);
      EXPECT_NE(error.description().find(c.in_description), std::string::npos)
          << error.description();
    }
    EXPECT_EQ(result.AsText(), "unchanged");
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION"), "0");

  // The employee's own upload is numbered from 1: nothing was filed under a cut-off name.
  Upload("<generalhours><hour interactionon='A' lineid='L1'/></generalhours>");
  EXPECT_EQ(Scalar("SELECT EMPLOYEEID || '|' || INTERACTIONID FROM CLIENTSERVERINTERACTION"),
            "1001|1");

  // The other methods refuse the same way: raised, or false with the description.
  Variant out, details;
  EXPECT_EQ(ErrorNumberOf([&] {
              job_sheet_.GetProcessResult("<processresultrequest/>", std::string("1\0", 2), dsn_,
                                          out);
            }),
            error_number::kInvalidProcedureCall);
  EXPECT_FALSE(
      job_sheet_.getJobSheets(std::string("ada\0", 4), "<jobsheets/>", dsn_, out, details));
  EXPECT_NE(details.AsText().find("i_sLogin holds a NUL character"), std::string::npos);
  pugi::xml_document assignments;
  EXPECT_FALSE(job_sheet_.sendAssignments("E1", "BC\xFF", assignments, out, details));
  EXPECT_NE(details.AsText().find("i_sBusComponent is not valid UTF-8"), std::string::npos);
}

TEST(DetermineJobSheetInteractionTest, ClassifiesByPerformedActions) {
  struct Case {
    const char* document;
    int code;
    const char* header_id;
  } cases[] = {
      {"<jobsheet><serviceorder id='7' actionsperformed='RDP,MD'/></jobsheet>", 10, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed=' MD,RDP '/></jobsheet>", 10, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed='RDC'/></jobsheet>", 20, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed='MD,RDC'/></jobsheet>", 20, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed='RDC, MD'/></jobsheet>", 0, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed='rdp'/></jobsheet>", 0, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed=''/></jobsheet>", 0, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed='RDP,MD'><activities>"
       "<a id='10' actionsperformed='RDC'/></activities></serviceorder></jobsheet>",
       25, "7,10"},
      {"<jobsheet><serviceorder id='7' actionsperformed='RDC'><activities>"
       "<a id='10' actionsperformed='RDP,MD'/></activities></serviceorder></jobsheet>",
       15, "7,10"},
      // Contains RDC, so the activity level applies, but the text is not a recognised one.
      {"<jobsheet><serviceorder id='7' actionsperformed='RDP'><activities>"
       "<a id='10' actionsperformed='XRDC'/></activities></serviceorder></jobsheet>",
       0, "7,10"},
      {"<jobsheet><serviceorder id='7' actionsperformed='RDP'><activities>"
       "<a id='10' actionsperformed='MD'/></activities></serviceorder></jobsheet>",
       10, "7"},
      {"<jobsheet><serviceorder id='7' actionsperformed='RDP'><activities/></serviceorder>"
       "</jobsheet>",
       -1, "7"},
      {"<jobsheet><serviceorder actionsperformed='RDP'/></jobsheet>", -1, ""},
      {"<jobsheet><order id='7' actionsperformed='RDP'/></jobsheet>", -1, ""},
  };
  for (const Case& c : cases) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(c.document));
    std::string header_id = "stale", error;
    EXPECT_EQ(DetermineJobSheetInteraction(document.first_child(), header_id, error), c.code)
        << c.document;
    EXPECT_EQ(header_id, c.header_id) << c.document;
    EXPECT_EQ(error.empty(), c.code != -1) << c.document << ": " << error;
  }
}

}  // namespace
}  // namespace tqs::server
