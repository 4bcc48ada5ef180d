#include "platform/automation/variant.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>

#include "common/conversions.h"
#include "common/error.h"
#include "platform/automation/data_object.h"
#include "tests/support/error_testing.h"

namespace tqs::automation {
namespace {

using test_support::ErrorNumberOf;
namespace en = error_number;

constexpr std::int32_t kOk = 0;  // "no error" in the tables below

// Decimal texts in the running locale, so the tables hold under any regional settings.
std::string Decimal(std::string_view whole, std::string_view fraction) {
  return std::string(whole) + RegionalSettings::Current().decimal_separator + std::string(fraction);
}

DateTime At(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0) {
  using namespace std::chrono;
  return local_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm} + seconds{ss};
}

ObjectPtr SomeObject() { return std::make_shared<DataObject>("Test.Thing"); }

// Expects `convert` to give `expected`, or to raise `error` when that is not kOk.
template <typename T>
void ExpectConversion(const std::function<T()>& convert, std::int32_t error, T expected) {
  T result{};
  const std::optional<std::int32_t> raised = ErrorNumberOf([&] { result = convert(); });
  if (error == kOk) {
    EXPECT_EQ(raised, std::nullopt);
    EXPECT_EQ(result, expected);
  } else {
    EXPECT_EQ(raised, error);
  }
}

TEST(VariantTest, ConvertsToInt16AndInt32WithRoundingOverflowAndNull) {
  struct Case {
    Variant value;
    std::int32_t int16_error;
    std::int16_t int16;
    std::int32_t int32_error;
    std::int32_t int32;
  };
  const Case cases[] = {
      {Variant(std::int32_t{32767}), kOk, 32767, kOk, 32767},
      {Variant(std::int32_t{32768}), en::kOverflow, 0, kOk, 32768},
      {Variant(std::int32_t{-32768}), kOk, -32768, kOk, -32768},
      {Variant(std::int32_t{-32769}), en::kOverflow, 0, kOk, -32769},
      {Variant(32767.4), kOk, 32767, kOk, 32767},
      {Variant(32767.5), en::kOverflow, 0, kOk, 32768},
      {Variant(2.5), kOk, 2, kOk, 2},
      {Variant(3.5), kOk, 4, kOk, 4},
      {Variant(-2.5), kOk, -2, kOk, -2},
      {Variant(2147483647.0), en::kOverflow, 0, kOk, 2147483647},
      {Variant(2147483648.0), en::kOverflow, 0, en::kOverflow, 0},
      {Variant(-2147483648.0), en::kOverflow, 0, kOk, std::numeric_limits<std::int32_t>::min()},
      {Variant(-2147483649.0), en::kOverflow, 0, en::kOverflow, 0},
      {Variant(2147483646.5), en::kOverflow, 0, kOk, 2147483646},
      {Variant(true), kOk, -1, kOk, -1},
      {Variant(false), kOk, 0, kOk, 0},
      {Variant(), kOk, 0, kOk, 0},
      {Variant::Null(), en::kInvalidUseOfNull, 0, en::kInvalidUseOfNull, 0},
      {Variant("12"), kOk, 12, kOk, 12},
      {Variant(" -7 "), kOk, -7, kOk, -7},
      {Variant(Decimal("3", "5")), kOk, 4, kOk, 4},
      {Variant("40000"), en::kOverflow, 0, kOk, 40000},
      {Variant("abc"), en::kTypeMismatch, 0, en::kTypeMismatch, 0},
      {Variant(""), en::kTypeMismatch, 0, en::kTypeMismatch, 0},
      {Variant(SomeObject()), en::kTypeMismatch, 0, en::kTypeMismatch, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.DebugString());
    ExpectConversion<std::int16_t>([&] { return c.value.AsInt16(); }, c.int16_error, c.int16);
    EXPECT_EQ(c.value.TryInt16().has_value(), c.int16_error == kOk);
    ExpectConversion<std::int32_t>([&] { return c.value.AsInt32(); }, c.int32_error, c.int32);
    EXPECT_EQ(c.value.TryInt32().has_value(), c.int32_error == kOk);
  }
}

TEST(VariantTest, ConvertsToBooleanAndDouble) {
  struct Case {
    Variant value;
    std::int32_t boolean_error;
    bool boolean;
    std::int32_t double_error;
    double number;
  };
  const Case cases[] = {
      {Variant(true), kOk, true, kOk, -1.0},
      {Variant(false), kOk, false, kOk, 0.0},
      {Variant(std::int32_t{2}), kOk, true, kOk, 2.0},
      {Variant(std::int16_t{0}), kOk, false, kOk, 0.0},
      {Variant(0.25), kOk, true, kOk, 0.25},
      {Variant("TRUE"), kOk, true, en::kTypeMismatch, 0},
      {Variant("false"), kOk, false, en::kTypeMismatch, 0},
      {Variant("0"), kOk, false, kOk, 0.0},
      {Variant("-1"), kOk, true, kOk, -1.0},
      {Variant(Decimal("2", "5")), kOk, true, kOk, 2.5},
      {Variant("yes"), en::kTypeMismatch, false, en::kTypeMismatch, 0},
      {Variant(), kOk, false, kOk, 0.0},
      {Variant::Null(), en::kInvalidUseOfNull, false, en::kInvalidUseOfNull, 0},
      {Variant(SomeObject()), en::kTypeMismatch, false, en::kTypeMismatch, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.DebugString());
    ExpectConversion<bool>([&] { return c.value.AsBoolean(); }, c.boolean_error, c.boolean);
    ExpectConversion<double>([&] { return c.value.AsDouble(); }, c.double_error, c.number);
    EXPECT_EQ(c.value.TryDouble().has_value(), c.double_error == kOk);
  }
}

TEST(VariantTest, ConvertsToTextKeepingNullApartFromEmpty) {
  EXPECT_EQ(Variant(true).AsText(), "True");
  EXPECT_EQ(Variant(false).AsText(), "False");
  EXPECT_EQ(Variant(std::int32_t{-5}).AsText(), "-5");
  EXPECT_EQ(Variant(std::int16_t{7}).AsText(), "7");
  EXPECT_EQ(Variant(2.5).AsText(), Decimal("2", "5"));
  EXPECT_EQ(Variant("abc").AsText(), "abc");
  EXPECT_EQ(Variant(At(2024, 3, 5, 14, 30)).AsText(), FormatGeneralDate(At(2024, 3, 5, 14, 30)));
  EXPECT_EQ(Variant().AsText(), "");
  EXPECT_EQ(ErrorNumberOf([] { Variant::Null().AsText(); }), en::kInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([] { Variant(SomeObject()).AsText(); }), en::kTypeMismatch);
  EXPECT_EQ(Variant::Null().TryText(), std::nullopt);
  EXPECT_EQ(Variant().TryText(), "");

  // The "" & value idiom: null and empty both give "".
  EXPECT_EQ(Variant::Null().ToTextOrEmpty(), "");
  EXPECT_EQ(Variant().ToTextOrEmpty(), "");
  EXPECT_EQ(Variant(std::int16_t{7}).ToTextOrEmpty(), "7");
}

TEST(VariantTest, TextViewReadsHeldTextInPlaceAndOnlyText) {
  const std::string long_text(300, 'x');
  const Variant text(long_text);
  const std::optional<std::string_view> view = text.TextView();
  ASSERT_TRUE(view.has_value());
  EXPECT_EQ(*view, long_text);
  // In place: a second view sees the same bytes, not a copy made for the call.
  EXPECT_EQ(text.TextView()->data(), view->data());
  EXPECT_EQ(Variant("").TextView(), std::string_view());
  EXPECT_EQ(Variant(std::string("a\0b", 3)).TextView(), std::string_view("a\0b", 3));

  // Every other type has no text of its own: the caller converts it with AsText, so numbers,
  // dates and Booleans keep their text form and null keeps failing where text is required.
  for (const Variant& other : {Variant(), Variant::Null(), Variant(true), Variant(std::int16_t{7}),
                               Variant(std::int32_t{42}), Variant(2.5),
                               Variant(At(2024, 3, 5, 14, 30)), Variant(SomeObject())}) {
    SCOPED_TRACE(other.DebugString());
    EXPECT_EQ(other.TextView(), std::nullopt);
  }
}

TEST(VariantTest, ConvertsToDateCountingDaysFromTheEpoch) {
  EXPECT_EQ(Variant().AsDate(), At(1899, 12, 30));
  EXPECT_EQ(Variant(1.5).AsDate(), At(1899, 12, 31, 12));
  EXPECT_EQ(Variant(std::int32_t{45000}).AsDate(), At(2023, 3, 15));
  // Before the epoch the fraction still counts forward from midnight.
  EXPECT_EQ(Variant(-1.25).AsDate(), At(1899, 12, 29, 6));
  EXPECT_EQ(Variant(At(1899, 12, 29, 6)).AsDouble(), -1.25);
  EXPECT_EQ(Variant(At(2023, 3, 15, 18)).AsDouble(), 45000.75);
  EXPECT_EQ(Variant(true).AsDate(), At(1899, 12, 29));
  EXPECT_EQ(Variant("2024-03-05 14:30:00").AsDate(), At(2024, 3, 5, 14, 30));

  EXPECT_EQ(ErrorNumberOf([] { Variant("not a date").AsDate(); }), en::kTypeMismatch);
  EXPECT_EQ(ErrorNumberOf([] { Variant::Null().AsDate(); }), en::kInvalidUseOfNull);
  EXPECT_EQ(ErrorNumberOf([] { Variant(1e12).AsDate(); }), en::kOverflow);
  EXPECT_EQ(Variant("not a date").TryDate(), std::nullopt);
}

TEST(VariantTest, AsObjectRaisesObjectNotSetOrTypeMismatch) {
  const ObjectPtr object = SomeObject();
  EXPECT_EQ(Variant(object).AsObject(), object);
  EXPECT_EQ(ErrorNumberOf([] { Variant().AsObject(); }), en::kObjectNotSet);
  EXPECT_EQ(ErrorNumberOf([] { Variant::Null().AsObject(); }), en::kObjectNotSet);
  EXPECT_EQ(ErrorNumberOf([] { Variant(ObjectPtr()).AsObject(); }), en::kObjectNotSet);
  EXPECT_EQ(ErrorNumberOf([] { Variant("x").AsObject(); }), en::kTypeMismatch);
}

TEST(VariantTest, IsNumericAcceptsNumbersBooleansAndNumericText) {
  EXPECT_TRUE(Variant(std::int32_t{1}).IsNumeric());
  EXPECT_TRUE(Variant(0.5).IsNumeric());
  EXPECT_TRUE(Variant(false).IsNumeric());
  EXPECT_TRUE(Variant(" 42 ").IsNumeric());
  EXPECT_FALSE(Variant("42a").IsNumeric());
  EXPECT_FALSE(Variant("").IsNumeric());
  EXPECT_FALSE(Variant::Null().IsNumeric());
  EXPECT_FALSE(Variant(At(2024, 1, 1)).IsNumeric());
  EXPECT_FALSE(Variant(SomeObject()).IsNumeric());
}

TEST(VariantTest, EqualityNeedsSameTypeAndObjectsCompareByIdentity) {
  EXPECT_EQ(Variant("a"), Variant(std::string("a")));
  EXPECT_NE(Variant(std::int16_t{5}), Variant(std::int32_t{5}));
  EXPECT_NE(Variant(""), Variant());
  EXPECT_NE(Variant::Null(), Variant());
  EXPECT_EQ(Variant::Null(), Variant::Null());
  const ObjectPtr object = SomeObject();
  EXPECT_EQ(Variant(object), Variant(object));
  EXPECT_NE(Variant(object), Variant(SomeObject()));
}

TEST(VariantTest, DebugStringNamesTypeAndValue) {
  EXPECT_EQ(Variant("a\"b").DebugString(), R"(Text("a\"b"))");
  EXPECT_EQ(Variant(std::int32_t{5}).DebugString(), "Int32(5)");
  EXPECT_EQ(Variant(std::int16_t{-5}).DebugString(), "Int16(-5)");
  EXPECT_EQ(Variant(2.5).DebugString(), "Double(2.5)");
  EXPECT_EQ(Variant(true).DebugString(), "Boolean(True)");
  EXPECT_EQ(Variant::Null().DebugString(), "Null");
  EXPECT_EQ(Variant().DebugString(), "Empty");
  EXPECT_EQ(Variant(At(2024, 3, 5, 14, 30, 1)).DebugString(), "Date(2024-03-05 14:30:01)");
  EXPECT_EQ(Variant(SomeObject()).DebugString(), "Object(Test.Thing)");
}

}  // namespace
}  // namespace tqs::automation
