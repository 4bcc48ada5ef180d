// A Store is the reference ERP's persistent data: one SQLite file holding employees, tasks,
// service orders (with activities, lines and payments), booked hours lines, service
// inspections, assignment actions and the outcomes booked under idempotency keys. A service order
// is read and written as a whole aggregate; changes that belong together run in one transaction
// (InTransaction).
//
// A Store is thread-safe: its calls are serialised. Several Stores, in one process or in
// several (the broker and the server component), may open the same file at once.
#ifndef TQS_ERP_STORE_H_
#define TQS_ERP_STORE_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "erp/records.h"

namespace tqs::erp {

namespace internal {
class SqliteDatabase;
}  // namespace internal

// What a booking under an idempotency key booked: keys of different kinds never meet.
enum class BookingKind { kJobSheet, kHours, kServiceInspection };

class Store {
 public:
  // Opens an existing store; a missing file raises tqs::Error 53 naming it.
  static std::unique_ptr<Store> Open(const std::filesystem::path& file);
  // Opens the store, creating the file and its tables when they are missing.
  static std::unique_ptr<Store> Create(const std::filesystem::path& file);

  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Runs `work` as one write transaction: committed when it returns, rolled back when it
  // raises (the error is passed on). Store calls made by `work` belong to the transaction; a
  // nested InTransaction is a savepoint of it.
  void InTransaction(const std::function<void()>& work);
  // Runs `work`, which only reads, as one read transaction: every read of it sees the store as
  // it was at the first one, whatever other connections commit meanwhile. Inside InTransaction
  // it is part of that transaction. Other threads' calls on this Store wait until it returns.
  void InReadTransaction(const std::function<void()>& work) const;

  // --- Employees and tasks ------------------------------------------------------------------
  void PutEmployee(const Employee& employee);  // adds or replaces
  std::optional<Employee> FindEmployee(std::string_view number) const;
  void PutTask(std::string_view code, std::string_view description);
  bool IsTask(std::string_view code) const;

  // --- Service orders -----------------------------------------------------------------------
  // Adds the order, or replaces its head, activities and lines (its payments are kept).
  void PutServiceOrder(const ServiceOrder& order);
  std::optional<ServiceOrder> FindServiceOrder(std::string_view id) const;
  bool HasServiceOrder(std::string_view id) const;
  // The orders assigned to `employee`, whatever their status, by id.
  std::vector<ServiceOrder> ServiceOrdersOf(std::string_view employee) const;
  // The ids of the orders that hold an activity with this id.
  std::vector<std::string> OrdersWithActivity(std::string_view activity_id) const;
  std::int64_t CountServiceOrders() const;

  // Adds a payment under the order's next payment number and returns it.
  std::int64_t AddPayment(std::string_view order_id, const PropertyValues& values);
  std::vector<Payment> PaymentsOf(std::string_view order_id) const;

  // --- Hours, inspections, assignments ------------------------------------------------------
  // Books the line under the next line number (numbers only ever increase) and returns it.
  std::int64_t BookHours(const HoursLine& line);
  std::vector<HoursLine> HoursLinesOf(std::string_view employee) const;

  // Stores the inspection with its measurements under a new id and returns the id.
  std::int64_t AddServiceInspection(const ServiceInspection& inspection);
  std::optional<ServiceInspection> FindServiceInspection(std::int64_t id) const;

  // Records the latest action of the activity's assignment (replacing an earlier one).
  void RecordAssignment(const AssignmentAction& action);
  std::optional<AssignmentAction> FindAssignment(std::string_view order_id,
                                                 std::string_view activity_id) const;

  // --- Idempotency keys -----------------------------------------------------------------------
  // Books at most once per key: returns the outcome stored under (`kind`, `key`) when there is
  // one; otherwise runs `book`, stores the outcome text it returns under the key and returns
  // it. The look-up, everything `book` stores and the outcome are one transaction, so a key is
  // never stored without its booking nor a booking without its key; when `book` raises,
  // nothing is stored and the key stays free.
  std::string BookOnce(BookingKind kind, std::string_view key,
                       const std::function<std::string()>& book);
  // The outcome stored under (`kind`, `key`), if any.
  std::optional<std::string> FindBookingOutcome(BookingKind kind, std::string_view key) const;

  const std::filesystem::path& file() const;

 private:
  explicit Store(std::unique_ptr<internal::SqliteDatabase> database);

  // Guards the connection; recursive so that calls made inside InTransaction nest.
  mutable std::recursive_mutex mutex_;
  mutable int transaction_depth_ = 0;  // guarded by mutex_
  const std::unique_ptr<internal::SqliteDatabase> database_;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_STORE_H_
