#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/error.h"
#include "tests/broker/document_test_bed.h"

namespace tqs::broker {
namespace {

using automation::Variant;
using test_support::RecordingComponents;
using testing::AnswerServiceInspection;
using testing::DocumentTestBed;
using testing::InspectionAnswer;
using testing::kServiceInspectionType;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNow = "2026-12-07 12:49:30";

constexpr const char* kThreeInspections =
    "<SERVICEINSPECTION>"
    "<ATTRIBUTES><ID>SI-1</ID><CCFG>CF</CCFG><CROB>OB</CROB><OSEQ>2</OSEQ><CSER>SN</CSER>"
    "<CRAC>10</CRAC><ccfg>lower case: not read</ccfg></ATTRIBUTES>"
    "<INSPECTIONS>"
    "<INSPECTION><ATTRIBUTES><CMEA>TEMP</CMEA><MSEQ>1</MSEQ><RGTM>0930</RGTM><MIVL>20</MIVL>"
    "<MDVL>21.5</MDVL></ATTRIBUTES></INSPECTION>"
    "<INSPECTION><ATTRIBUTES><MDVL></MDVL><CMEA>PRES</CMEA></ATTRIBUTES></INSPECTION>"
    "<ANY><ATTRIBUTES><cmea>low</cmea><MSEQ>3</MSEQ></ATTRIBUTES></ANY>"
    "</INSPECTIONS></SERVICEINSPECTION>";

class ServiceInspectionTest : public testing::OnEachBackend {};
TQS_INSTANTIATE_FOR_BACKENDS(ServiceInspectionTest);

TEST_P(ServiceInspectionTest, InspectionsAreHandedOverOneByOneAndTheRowIsFinished) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kServiceInspectionType, kThreeInspections);
  AnswerServiceInspection(bed.erp(), {});

  bed.RunPass();

  EXPECT_THAT(
      bed.erp().Journal(),
      ElementsAre(
          "create Q72dVXRsvordServiceInspections.oErrorProcessStructForProcessSI#1",
          "create Q72dVXRsvordServiceInspections.iServiceInspectionForProcess#1",
          "create Q72dVXRsvordServiceInspections.serviceInspection#1",
          "create Q72dVXRsvordServiceInspections.ServiceInspectionsManager#1",
          "create Q72dVXRsvordServiceInspections.InspectionHeaderDetails#1",
          "call InspectionHeaderDetails#1.setServiceInspectionID(Text(\"SI-1\"))",
          "call InspectionHeaderDetails#1.setConfiguration(Text(\"CF\"))",
          "call InspectionHeaderDetails#1.setObject(Text(\"OB\"))",
          "call InspectionHeaderDetails#1.setObjectNumber(Text(\"2\"))",
          "call InspectionHeaderDetails#1.setSerialNumber(Text(\"SN\"))",
          "call InspectionHeaderDetails#1.setReferenceActivity(Text(\"10\"))",
          "call serviceInspection#1.setInspectionHeaderDetails(Object(InspectionHeaderDetails#1))",
          "create Q72dVXRsvordServiceInspections.Inspections#1",
          "create Q72dVXRsvordServiceInspections.Inspection#1",
          "call Inspection#1.setSIMeasurementType(Text(\"TEMP\"))",
          "call Inspection#1.setMeasurementSequence(Text(\"1\"))",
          "call Inspection#1.setRegistrationTime(Text(\"0930\"))",
          "call Inspection#1.setMeasuredIndependentValue(Text(\"20\"))",
          "call Inspection#1.setMeasuredDependentValue(Text(\"21.5\"))",
          "call Inspections#1.addInspection(Object(Inspection#1))",
          "call serviceInspection#1.setInspections(Object(Inspections#1))",
          "call iServiceInspectionForProcess#1.setServiceInspection(Object(serviceInspection#1))",
          "create Q72dVXRsvordServiceInspections.Inspection#2",
          "call Inspection#2.setSIMeasurementType(Text(\"PRES\"))",
          "call Inspection#2.setMeasuredDependentValue(Text(\"\"))",
          "call Inspections#1.addInspection(Object(Inspection#2))",
          "call serviceInspection#1.setInspections(Object(Inspections#1))",
          "call iServiceInspectionForProcess#1.setServiceInspection(Object(serviceInspection#1))",
          "create Q72dVXRsvordServiceInspections.Inspection#3",
          "call Inspection#3.setMeasurementSequence(Text(\"3\"))",
          "call Inspections#1.addInspection(Object(Inspection#3))",
          "call serviceInspection#1.setInspections(Object(Inspections#1))",
          "call iServiceInspectionForProcess#1.setServiceInspection(Object(serviceInspection#1))",
          "call ServiceInspectionsManager#1.Initialize(Text(\"BC200\"))",
          "call ServiceInspectionsManager#1.ProcessServiceInspection("
          "Object(iServiceInspectionForProcess#1), Int32(0), "
          "Object(oErrorProcessStructForProcessSI#1), Int32(0))",
          "call Outcome#1.getOErrorProcessStructForProcessSI()",
          "call oErrorProcessStructForProcessSI#2.getSI()",
          "call SIResult#1.getServiceInspectionLineAttribute()",
          "call oErrorProcessStructForProcessSI#2.getSI()", "call SIResult#2.getResult()",
          "call oErrorProcessStructForProcessSI#2.getSI()", "call SIResult#3.getErrorDescription()",
          "call Outcome#1.getOReturnValue()"))
      << bed.erp().JournalText();
  EXPECT_THAT(bed.Row("doc-1"), ElementsAre("10", "<si id='SI-1' result='0' error='' />", kNow));
  EXPECT_EQ(bed.StatusLines(), "S11\r\n\r\n");
  EXPECT_THAT(bed.LogMessages(), IsEmpty());
}

TEST_P(ServiceInspectionTest, ReturnValueDecidesTheStatus) {
  struct Case {
    InspectionAnswer answer;
    std::string status;
    std::string element;
    std::string status_lines;
  };
  const std::vector<Case> cases = {
      {{Variant("SI-1"), Variant("0"), Variant(""), Variant(std::int32_t{0})},
       "10",
       "<si id='SI-1' result='0' error='' />",
       "S11\r\n\r\n"},
      {{Variant("SI-2"), Variant("2.5"), Variant("a & b"), Variant(std::int32_t{-1})},
       "15",
       "<si id='SI-2' result='2' error='a &amp; b' />",
       "S0\r\n\r\n"},
      {{Variant("SI-3"), Variant(" 3.5 "), Variant("<x>"), Variant("-3")},
       "15",
       "<si id='SI-3' result='4' error='&lt;x&gt;' />",
       "S14\r\n\r\n"},
      {{Variant("S'4"), Variant(std::int32_t{7}), Variant::Null(), Variant(std::int16_t{-2})},
       "<null>",
       "<si id='S&apos;4' result='7' error='' />",
       ""},
      {{Variant::Null(), Variant("1"), Variant("x"), Variant(std::int32_t{1})},
       "<null>",
       "<si id='' result='1' error='x' />",
       ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.element);
    DocumentTestBed bed(GetParam());
    bed.AddDocument(kServiceInspectionType, kThreeInspections);
    AnswerServiceInspection(bed.erp(), test.answer);

    bed.RunPass();

    EXPECT_THAT(bed.Row("doc-1"), ElementsAre(test.status, test.element, kNow));
    EXPECT_EQ(bed.StatusLines(), test.status_lines);
    EXPECT_THAT(bed.LogMessages(), IsEmpty());
  }
}

TEST_P(ServiceInspectionTest, FailuresLeaveTheRowPendingAndAreReported) {
  struct Case {
    std::string name;
    std::string document;
    std::function<void(RecordingComponents&)> script;
    std::string status_lines;
    std::string log;
  };
  const std::vector<Case> cases = {
      {"root is not SERVICEINSPECTION", "<SERVICEINSPECTIONS><INSPECTIONS/></SERVICEINSPECTIONS>",
       [](RecordingComponents&) {},
       "Object variable not set: the document has no SERVICEINSPECTION/INSPECTIONS element\r\n",
       "Error Object variable not set: the document has no SERVICEINSPECTION/INSPECTIONS "
       "element in ProcessServiceInspections"},
      {"empty result code", kThreeInspections,
       [](RecordingComponents& erp) {
         InspectionAnswer answer;
         answer.result = Variant("");
         AnswerServiceInspection(erp, answer);
       },
       "The ERP answered, but its answer cannot be used: Type mismatch: getResult returned '', "
       "not a number. The ERP may have booked the document; the document is in doubt and is not "
       "sent "
       "again until an operator decides (TQSRemoteAdmin documents --in-doubt).\r\n",
       "Error The ERP answered, but its answer cannot be used: Type mismatch: getResult "
       "returned '', not a number. The ERP may have booked the document; the document is in doubt "
       "and is not sent "
       "again until an operator decides (TQSRemoteAdmin documents --in-doubt). in "
       "ProcessServiceInspections"},
      {"no return value", kThreeInspections,
       [](RecordingComponents& erp) {
         InspectionAnswer answer;
         answer.return_value = Variant();
         AnswerServiceInspection(erp, answer);
       },
       "The ERP answered, but its answer cannot be used: Type mismatch: getOReturnValue "
       "returned nothing, not a number. The ERP may have booked the document; the document is in "
       "doubt and is not sent "
       "again until an operator decides (TQSRemoteAdmin documents --in-doubt).\r\n",
       "Error The ERP answered, but its answer cannot be used: Type mismatch: getOReturnValue "
       "returned nothing, not a number. The ERP may have booked the document; the document is in "
       "doubt and is not sent "
       "again until an operator decides (TQSRemoteAdmin documents --in-doubt). in "
       "ProcessServiceInspections"},
      {"generic failure code shows status text 17", kThreeInspections,
       [](RecordingComponents& erp) {
         erp.Throws("ServiceInspectionsManager", "ProcessServiceInspection",
                    Error(error_number::kGenericFailure, "Inspection service stopped"));
       },
       "S17\r\n", "Error Inspection service stopped in ProcessServiceInspections"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    DocumentTestBed bed(GetParam());
    bed.AddDocument(kServiceInspectionType, test.document);
    test.script(bed.erp());

    bed.RunPass();

    EXPECT_THAT(bed.Row("doc-1"), ElementsAre("5", "<null>", "<null>"));
    EXPECT_EQ(bed.StatusLines(), test.status_lines);
    EXPECT_THAT(bed.LogMessages(), ElementsAre(test.log));
  }
}

TEST_P(ServiceInspectionTest, RootOtherThanServiceInspectionHandsNothingToTheErp) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kServiceInspectionType, "<si><INSPECTIONS><I/></INSPECTIONS></si>");

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("call "), IsEmpty());
}

TEST_P(ServiceInspectionTest, MissingAttributesAreReportedAndHandedOnAsNoObject) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kServiceInspectionType,
                  "<SERVICEINSPECTION><INSPECTIONS><I><ATTRIBUTES/></I><I/></INSPECTIONS>"
                  "</SERVICEINSPECTION>");
  AnswerServiceInspection(bed.erp(), {});

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("Nothing"),
              ElementsAre("call serviceInspection#1.setInspectionHeaderDetails(Object(Nothing))",
                          "call Inspections#1.addInspection(Object(Nothing))",
                          "call Inspections#1.addInspection(Object(Nothing))"));
  EXPECT_THAT(bed.erp().Journal("create Q72dVXRsvordServiceInspections.Inspection#"), IsEmpty());
  EXPECT_EQ(bed.Row("doc-1")[0], "10");
  EXPECT_EQ(bed.StatusLines(),
            "Object variable not set: SERVICEINSPECTION has no ATTRIBUTES element\r\n"
            "Object variable not set: an inspection of INSPECTIONS has no ATTRIBUTES element\r\n"
            "S11\r\n\r\n");
  EXPECT_THAT(bed.LogMessages(),
              ElementsAre("Error : Object variable not set: SERVICEINSPECTION has no ATTRIBUTES "
                          "element in GetInspectionHeaderDetails",
                          "Error : Object variable not set: an inspection of INSPECTIONS has no "
                          "ATTRIBUTES element in GetInspectionData"));
}

TEST_P(ServiceInspectionTest, EmptyInspectionsHandNoServiceInspectionToTheProcessInput) {
  DocumentTestBed bed(GetParam());
  bed.AddDocument(kServiceInspectionType,
                  "<SERVICEINSPECTION><ATTRIBUTES><ID>1</ID></ATTRIBUTES><INSPECTIONS/>"
                  "</SERVICEINSPECTION>");
  AnswerServiceInspection(bed.erp(), InspectionAnswer{.return_value = Variant(std::int32_t{-1})});

  bed.RunPass();

  EXPECT_THAT(bed.erp().Journal("setInspections"), IsEmpty());
  EXPECT_THAT(bed.erp().Journal("setServiceInspection("), IsEmpty());
  EXPECT_THAT(bed.erp().Journal("ProcessServiceInspection("), ::testing::SizeIs(1));
  EXPECT_EQ(bed.Row("doc-1")[0], "15");
}

}  // namespace
}  // namespace tqs::broker
