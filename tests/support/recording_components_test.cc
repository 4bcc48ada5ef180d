#include "tests/support/recording_components.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/automation/component_registry.h"
#include "tests/support/error_testing.h"

namespace tqs::test_support {
namespace {

using ::testing::ElementsAre;

TEST(RecordingComponentsTest, JournalsCreatesAndCallsInOrderAndAnswersFromTheScript) {
  automation::ComponentRegistry registry;
  auto erp = std::make_shared<RecordingComponents>();
  registry.Register("Erp.", erp);

  const ObjectPtr output = erp->NewObject("Erp.Output");
  erp->Returns("Output", "getOReturnValue", Variant(std::int32_t{-3}));
  erp->OnCall("Erp.Manager", "Process", [&](std::span<Variant> args) {
    args[1] = Variant("assigned by the component");
    return Variant(output);
  });

  ObjectPtr manager = registry.Create("Erp.Manager");
  ObjectPtr order = registry.Create("Erp.Order");
  ObjectPtr second_order = registry.Create("Erp.Order");
  order->Call("setOrderStatus", {Variant("x")});
  EXPECT_TRUE(second_order->Call("getOrderStatus").IsEmpty());  // no responder: Empty
  std::vector<Variant> args{Variant(order), Variant(std::int32_t{0})};
  const ObjectPtr result = manager->Invoke("Process", args).AsObject();
  EXPECT_EQ(args[1], Variant("assigned by the component"));
  EXPECT_EQ(result->Call("getOReturnValue"), Variant(std::int32_t{-3}));

  EXPECT_THAT(
      erp->Journal(),
      ElementsAre("create Erp.Manager#1", "create Erp.Order#1", "create Erp.Order#2",
                  "call Order#1.setOrderStatus(Text(\"x\"))", "call Order#2.getOrderStatus()",
                  "call Manager#1.Process(Object(Order#1), Int32(0))",
                  "call Output#1.getOReturnValue()"))
      << erp->JournalText();
  EXPECT_THAT(erp->Journal("create "),
              ElementsAre("create Erp.Manager#1", "create Erp.Order#1", "create Erp.Order#2"));
  EXPECT_EQ(erp->Instance("Order#2"), second_order);
  EXPECT_EQ(erp->Instance("Order#3"), nullptr);
}

TEST(RecordingComponentsTest, InjectsFaultsInCallsAndCreates) {
  automation::ComponentRegistry registry;
  auto erp = std::make_shared<RecordingComponents>();
  registry.Register("Erp.", erp);
  erp->Throws("*", "Close", Error(error_number::kGenericFailure, "closed twice"));
  erp->FailCreate("Erp.Missing");
  erp->FailCreate("Erp.Broken", Error(7, "out of memory"));

  EXPECT_EQ(ErrorNumberOf([&] { registry.Create("Erp.Manager")->Call("Close"); }),
            error_number::kGenericFailure);
  EXPECT_EQ(ErrorNumberOf([&] { registry.Create("Erp.Missing"); }),
            error_number::kCannotCreateComponent);
  EXPECT_EQ(ErrorNumberOf([&] { registry.Create("Erp.Broken"); }), 7);
  EXPECT_THAT(erp->Journal(), ElementsAre("create Erp.Manager#1", "call Manager#1.Close()",
                                          "create Erp.Missing failed", "create Erp.Broken failed"));
  erp->ClearJournal();
  EXPECT_TRUE(erp->Journal().empty());
}

TEST(RecordingComponentsTest, AJournalLineCanBeMadeToFailFromNowOn) {
  EXPECT_EQ(JournalObjectAndMethod("create Erp.Sub.Order#12"),
            std::make_pair(std::string("Erp.Sub.Order"), std::string()));
  EXPECT_EQ(JournalObjectAndMethod("call Order#2.setItem(Text(\"a.b(c)\"))"),
            std::make_pair(std::string("Order"), std::string("setItem")));

  automation::ComponentRegistry registry;
  auto erp = std::make_shared<RecordingComponents>();
  registry.Register("Erp.", erp);
  // An object that answers under its full identifier, made before the fault is set.
  const ObjectPtr answer = erp->NewObject("Script.Answer");
  erp->Returns("Script.Answer", "getValue", Variant(1));
  const Error failure(error_number::kGenericFailure, "failed");
  FailFromNowOn(*erp, "call Answer#1.getValue()", failure);
  FailFromNowOn(*erp, "call Order#1.setItem(Text(\"x\"))", failure);
  FailFromNowOn(*erp, "create Erp.Manager#1", failure);

  EXPECT_EQ(ErrorNumberOf([&] { answer->Call("getValue"); }), error_number::kGenericFailure);
  // Every Order fails setItem, not only the first; other methods still answer.
  registry.Create("Erp.Order");
  const ObjectPtr second = registry.Create("Erp.Order");
  EXPECT_EQ(ErrorNumberOf([&] { second->Call("setItem", {Variant("y")}); }),
            error_number::kGenericFailure);
  EXPECT_TRUE(second->Call("getItem").IsEmpty());
  EXPECT_EQ(ErrorNumberOf([&] { registry.Create("Erp.Manager"); }),
            error_number::kGenericFailure);
}

}  // namespace
}  // namespace tqs::test_support
