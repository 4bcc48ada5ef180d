#include "erp_bridge/graph_json.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "erp_bridge/bridge_objects.h"
#include "tests/support/error_testing.h"

namespace tqs::erp_bridge {
namespace {

using automation::Variant;
using nlohmann::json;
using test_support::ErrorNumberOf;

DateTime At(int year, unsigned month, unsigned day, int hour, int minute, int second) {
  return DateTime(
      std::chrono::local_days(std::chrono::year(year) / month / day).time_since_epoch() +
      std::chrono::hours(hour) + std::chrono::minutes(minute) + std::chrono::seconds(second));
}

TEST(GraphJsonTest, ValuesKeepTheirKindBothWays) {
  struct Case {
    Variant sent;
    std::string written;
    Variant read;  // what the written form reads back as
  };
  const Case cases[] = {
      {Variant("Customer & co <b>"), R"("Customer & co <b>")", Variant("Customer & co <b>")},
      {Variant(std::int16_t{7}), "7", Variant(std::int32_t{7})},
      {Variant(std::int32_t{-3}), "-3", Variant(std::int32_t{-3})},
      {Variant(2.0), "2.0", Variant(2.0)},
      {Variant(true), "true", Variant(true)},
      {Variant::Null(), "null", Variant::Null()},
      {Variant(), "null", Variant::Null()},
      {Variant(At(2026, 3, 4, 8, 30, 5)), R"({"date":"2026-03-04T08:30:05"})",
       Variant(At(2026, 3, 4, 8, 30, 5))},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.sent.DebugString());
    const json written = ValueToJson(each.sent);
    EXPECT_EQ(written.dump(), each.written);
    EXPECT_EQ(ValueFromJson(written, "value"), each.read);
  }
  // Whole numbers beyond 32 bits are read as numbers, not cut.
  EXPECT_EQ(ValueFromJson(json(4294967296LL), "value"), Variant(4294967296.0));
}

TEST(GraphJsonTest, ObjectGraphsRoundTripAndBadGraphsAreRefused) {
  auto order = NewBridgeObject("Q72dVXRsvordJobSheets.ServiceOrderData");
  auto activity = NewBridgeObject("Q72dVXRsvordJobSheets.ActivityData");
  activity->Set("ActivityAttribute", Variant("10"));
  order->Set("ServiceOrderAttribute", Variant("SO1"));
  order->Set("Unset", Variant());  // never written
  order->Add("ActivityData", Variant(automation::ObjectPtr(activity)));
  order->Add("ActivityData", Variant::Null());
  const json written = ValueToJson(Variant(automation::ObjectPtr(order)));
  EXPECT_EQ(written, json::parse(R"({"class": "Q72dVXRsvordJobSheets.ServiceOrderData",
      "properties": {"ServiceOrderAttribute": "SO1"},
      "lists": {"ActivityData": [{"class": "Q72dVXRsvordJobSheets.ActivityData",
                                  "properties": {"ActivityAttribute": "10"}, "lists": {}},
                                 null]}})"));
  EXPECT_EQ(ValueToJson(ValueFromJson(written, "value")), written);

  // A graph holding itself, a number JSON cannot carry.
  auto loop = NewBridgeObject("X");
  loop->Set("Self", Variant(automation::ObjectPtr(loop)));
  EXPECT_EQ(ErrorNumberOf([&] { ValueToJson(Variant(automation::ObjectPtr(loop))); }), 13);
  loop->Set("Self", Variant());  // lets the object go
  EXPECT_EQ(ErrorNumberOf([&] { ValueToJson(Variant(std::numeric_limits<double>::infinity())); }),
            6);
  // Answers of the wrong shape.
  for (const char* answer : {R"({"klass": "X"})", R"({"properties": []})", R"({"lists": {"A": 1}})",
                             R"({"date": "2026-3-4"})", "[1]"}) {
    SCOPED_TRACE(answer);
    EXPECT_EQ(ErrorNumberOf([&] { ValueFromJson(json::parse(answer), "result"); }),
              error_number::kGenericFailure);
  }
  // The download state answers completedStateAttribute from its property.
  const Variant state = ValueFromJson(json::parse(R"({"class": "Q72dVXRsvordJobSheets.ioState",
                      "properties": {"CompletedStateAttribute": 1}})"),
                                      "result");
  EXPECT_EQ(state.AsObject()->Call("completedStateAttribute"), Variant(std::int32_t{1}));
}

}  // namespace
}  // namespace tqs::erp_bridge
