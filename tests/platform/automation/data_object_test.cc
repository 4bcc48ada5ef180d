#include "platform/automation/data_object.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/error.h"
#include "tests/support/error_testing.h"

namespace tqs::automation {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace en = error_number;

TEST(DataObjectTest, PropertiesBySetGetHasWithNullApartFromEmpty) {
  DataObject order("Erp.ServiceOrderData");
  EXPECT_TRUE(order.Call("getOrderStatus").IsEmpty());
  EXPECT_EQ(order.Call("hasOrderStatus"), Variant(false));

  EXPECT_TRUE(order.Call("setOrderStatus", {Variant("open")}).IsEmpty());
  EXPECT_EQ(order.Call("getOrderStatus"), Variant("open"));
  EXPECT_EQ(order.Call("hasOrderStatus"), Variant(true));
  // Late binding ignores case.
  EXPECT_EQ(order.Call("GETORDERSTATUS"), Variant("open"));

  order.Call("setOrderStatus", {Variant::Null()});
  EXPECT_TRUE(order.Call("getOrderStatus").IsNull());
  EXPECT_EQ(order.Call("hasOrderStatus"), Variant(false));
  order.Call("setOrderStatus", {Variant("")});
  EXPECT_EQ(order.Call("getOrderStatus"), Variant(""));
  EXPECT_EQ(order.Call("hasOrderStatus"), Variant(true));

  // A property whose own name ends in "At" is still a plain property without an index.
  order.Call("setCreatedAt", {Variant(std::int32_t{5})});
  EXPECT_EQ(order.Call("getCreatedAt"), Variant(std::int32_t{5}));

  // Objects are held by reference.
  auto details = std::make_shared<DataObject>("Erp.OrderDetails");
  order.Call("setOrderDetails", {Variant(ObjectPtr(details))});
  order.Call("getOrderDetails").AsObject()->Call("setText", {Variant("t")});
  EXPECT_EQ(details->Get("Text"), Variant("t"));

  EXPECT_THAT(order.PropertyNames(), ElementsAre("CreatedAt", "OrderDetails", "OrderStatus"));
}

TEST(DataObjectTest, ListsByAddSizeGetAt) {
  DataObject activities("Erp.ActivitiesData");
  EXPECT_EQ(activities.Call("sizeActivityData"), Variant(std::int32_t{0}));
  activities.Call("addActivityData", {Variant("first")});
  activities.Call("addActivityData", {Variant("second")});
  EXPECT_EQ(activities.Call("sizeActivityData"), Variant(std::int32_t{2}));
  EXPECT_EQ(activities.Call("getActivityDataAt", {Variant(std::int32_t{0})}), Variant("first"));
  EXPECT_EQ(activities.Call("getActivityDataAt", {Variant(std::int16_t{1})}), Variant("second"));
  EXPECT_THAT(activities.List("activitydata"), ElementsAre(Variant("first"), Variant("second")));

  EXPECT_EQ(
      ErrorNumberOf([&] { activities.Call("getActivityDataAt", {Variant(std::int32_t{2})}); }),
      en::kSubscriptOutOfRange);
  EXPECT_EQ(
      ErrorDescriptionOf(
          [&] { activities.Call("getActivityDataAt", {Variant(std::int32_t{-1})}); }),
      "Subscript out of range: Erp.ActivitiesData.getActivityDataAt(-1) on a list of 2 elements");
  EXPECT_EQ(ErrorNumberOf([&] { activities.Call("getOtherDataAt", {Variant(std::int32_t{0})}); }),
            en::kSubscriptOutOfRange);
}

TEST(DataObjectTest, DefinedMethodsTakePrecedenceAndUnknownCallsRaise) {
  DataObject manager("Erp.Manager");
  manager.DefineMethod("getStatus", [&manager](std::span<Variant>) {
    return Variant("computed from " + manager.Get("Status").ToTextOrEmpty());
  });
  manager.DefineMethod("Swap", [](std::span<Variant> args) {
    std::swap(args[0], args[1]);
    return Variant(true);
  });
  manager.Set("Status", Variant("stored"));
  EXPECT_EQ(manager.Call("getstatus"), Variant("computed from stored"));

  std::vector<Variant> args{Variant("a"), Variant(std::int32_t{1})};
  EXPECT_EQ(manager.Invoke("Swap", args), Variant(true));
  EXPECT_THAT(args, ElementsAre(Variant(std::int32_t{1}), Variant("a")));

  EXPECT_EQ(ErrorNumberOf([&] { manager.Call("Initialize", {Variant("x")}); }),
            en::kMethodNotSupported);
  EXPECT_EQ(ErrorDescriptionOf([&] { manager.Call("Initialize"); }),
            "Object doesn't support this property or method: Erp.Manager.Initialize");
  EXPECT_EQ(ErrorNumberOf([&] { manager.Call("get"); }), en::kMethodNotSupported);
  EXPECT_EQ(ErrorNumberOf([&] { manager.Call("setStatus"); }), 450);
  EXPECT_EQ(ErrorNumberOf([&] { manager.Call("sizeLines", {Variant(std::int32_t{1})}); }), 450);
}

}  // namespace
}  // namespace tqs::automation
