// The reference ERP store's bookings under idempotency keys: once per key and kind, in one
// transaction with what the booking stores, and kept across store versions.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "common/error.h"
#include "erp/store.h"
#include "tests/support/temp_dir.h"

namespace tqs::erp {
namespace {

HoursLine TravelLine() { return HoursLine{0, "E1", "TRAV", "", "", "2026-03-09", 1.5}; }

class ErpBookingKeysTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = Store::Create(file_); }

  test_support::ScopedTempDir folder_;
  const std::filesystem::path file_ = folder_.path() / "erp.db";
  std::unique_ptr<Store> store_;
};

TEST_F(ErpBookingKeysTest, BooksOncePerKeyAndKindAndNotAtAllWhenTheBookingFails) {
  int bookings = 0;
  const auto book = [&] {
    store_->BookHours(TravelLine());
    return "outcome " + std::to_string(++bookings);
  };
  EXPECT_EQ(store_->BookOnce(BookingKind::kHours, "k/1", book), "outcome 1");
  EXPECT_EQ(store_->BookOnce(BookingKind::kHours, "k/1", book), "outcome 1");
  EXPECT_EQ(store_->BookOnce(BookingKind::kServiceInspection, "k/1", book), "outcome 2");
  EXPECT_EQ(store_->BookOnce(BookingKind::kHours, "k/2", book), "outcome 3");
  EXPECT_EQ(store_->HoursLinesOf("E1").size(), 3u);

  // A booking that raises takes back what it stored and leaves its key free.
  EXPECT_THROW(store_->BookOnce(BookingKind::kJobSheet, "k/1",
                                [&]() -> std::string {
                                  store_->BookHours(TravelLine());
                                  throw Error(error_number::kGenericFailure, "disk full");
                                }),
               Error);
  EXPECT_EQ(store_->HoursLinesOf("E1").size(), 3u);
  EXPECT_FALSE(store_->FindBookingOutcome(BookingKind::kJobSheet, "k/1").has_value());
  EXPECT_EQ(store_->BookOnce(BookingKind::kJobSheet, "k/1", book), "outcome 4");

  // Another handle on the file, as after a restart, knows the keys.
  EXPECT_EQ(Store::Open(file_)->FindBookingOutcome(BookingKind::kHours, "k/2"), "outcome 3");
}

TEST_F(ErpBookingKeysTest, AStoreWithoutTheKeysTableGainsItWhenOpened) {
  store_->BookHours(TravelLine());
  store_.reset();
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &raw), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(raw, "DROP TABLE booking_keys", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(raw);

  const std::unique_ptr<Store> reopened = Store::Open(file_);
  EXPECT_EQ(reopened->BookOnce(BookingKind::kHours, "k/1", [] { return std::string("kept"); }),
            "kept");
  EXPECT_EQ(reopened->HoursLinesOf("E1").size(), 1u);  // the data it held stays
}

}  // namespace
}  // namespace tqs::erp
