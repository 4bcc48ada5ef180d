// Every call the server makes into the ERP, and every object it creates there, can fail with the
// generic failure. Whichever one fails, the assignment update stops at that call, answers false
// with the component's description, and makes no further call.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/error.h"
#include "server/jobsheet.h"
#include "tests/support/recording_components.h"

namespace tqs::server {
namespace {

using automation::Variant;
using test_support::RecordingComponents;

constexpr const char* kPrefix = "Q72dVXRsvordAssignments.";
constexpr const char* kFailure = "Unspecified error raised by the component";

std::shared_ptr<RecordingComponents> Erp() {
  auto erp = std::make_shared<RecordingComponents>();
  erp->OnCall("svbodll350002Manager", "svbodll350002updateassignments",
              [erp = erp.get()](std::span<Variant>) -> Variant {
                return erp->NewObject("Q72dVXRsvordAssignments.oResult");
              });
  erp->Returns("oResult", "getOReturnValue", std::int32_t{0});
  return erp;
}

struct Outcome {
  bool sent;
  std::string error_details;
  std::vector<std::string> journal;
};

Outcome Send(const std::shared_ptr<RecordingComponents>& erp) {
  automation::ComponentRegistry registry;
  registry.Register(kPrefix, erp);
  JobSheet job_sheet(registry);
  pugi::xml_document assignments;
  assignments.load_string(
      "<assignments><so id='4711'><a id='10' ataken='ACC' don='D1' aon='A1'/>"
      "<a id='20' ataken='REJ' don='D2' aon='A2'/></so><so id='4712'/></assignments>");
  Variant feedback = "as passed";
  Variant error_details = "stale";
  const bool sent = job_sheet.sendAssignments("1001", "BC01", assignments, feedback, error_details);
  EXPECT_EQ(feedback.AsText(), "as passed");  // never written
  return {sent, error_details.AsText(), erp->Journal()};
}

// "call oResult#1.getOReturnValue()" -> {"oResult", "getOReturnValue"};
// "create Q72dVXRsvordAssignments.svbodll350002Manager#1" -> {full identifier, ""}.
std::pair<std::string, std::string> ObjectAndMethod(const std::string& line) {
  if (line.starts_with("create ")) {
    return {line.substr(7, line.find('#') - 7), ""};
  }
  const std::string call = line.substr(5);
  const std::string object = call.substr(0, call.find('#'));
  const std::string::size_type dot = call.find('.');
  return {object, call.substr(dot + 1, call.find('(') - dot - 1)};
}

TEST(ComponentFaultsTest, GenericFailureFromAnyCallEndsTheUpdateThereWithItsDescription) {
  const Outcome clean = Send(Erp());
  ASSERT_TRUE(clean.sent);
  ASSERT_GT(clean.journal.size(), 10u);

  for (std::size_t i = 0; i < clean.journal.size(); ++i) {
    const auto [object, method] = ObjectAndMethod(clean.journal[i]);
    SCOPED_TRACE(clean.journal[i]);
    auto erp = Erp();
    const Error failure(error_number::kGenericFailure, kFailure);
    if (method.empty()) {
      erp->FailCreate(object, failure);
    } else {
      erp->Throws(object, method, failure);
    }
    const Outcome outcome = Send(erp);
    EXPECT_FALSE(outcome.sent);
    EXPECT_EQ(outcome.error_details, kFailure);
    // Nothing was called after the failing call: the journal is the clean one up to the
    // first occurrence of that call, which is where it failed.
    std::size_t first = 0;
    while (ObjectAndMethod(clean.journal[first]) != ObjectAndMethod(clean.journal[i])) ++first;
    ASSERT_EQ(outcome.journal.size(), first + 1);
    EXPECT_TRUE(
        std::equal(outcome.journal.begin(), outcome.journal.end() - 1, clean.journal.begin()));
  }
}

}  // namespace
}  // namespace tqs::server
