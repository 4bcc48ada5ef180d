#include "erp/store.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "common/error.h"
#include "erp/sqlite_database_internal.h"

namespace tqs::erp {

namespace {

using internal::SqliteDatabase;
using internal::Statement;

constexpr std::string_view kSchema = R"sql(
CREATE TABLE IF NOT EXISTS employees (
  number TEXT PRIMARY KEY,
  name TEXT NOT NULL,
  service_center TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS tasks (
  code TEXT PRIMARY KEY,
  description TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS service_orders (
  id TEXT PRIMARY KEY,
  employee TEXT NOT NULL,
  assigned_on TEXT NOT NULL,
  status TEXT NOT NULL,
  service_center TEXT NOT NULL,
  origin TEXT NOT NULL,
  type TEXT NOT NULL,
  allowed_actions TEXT NOT NULL,
  actions_performed TEXT NOT NULL,
  invoice_id TEXT NOT NULL,
  cancelled_on TEXT NOT NULL,
  cancel_reason TEXT NOT NULL,
  details TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS service_orders_by_employee ON service_orders (employee, id);
CREATE TABLE IF NOT EXISTS activities (
  order_id TEXT NOT NULL REFERENCES service_orders (id) ON DELETE CASCADE,
  id TEXT NOT NULL,
  position INTEGER NOT NULL,
  status TEXT NOT NULL,
  origin TEXT NOT NULL,
  type TEXT NOT NULL,
  allowed_actions TEXT NOT NULL,
  actions_performed TEXT NOT NULL,
  details TEXT NOT NULL,
  PRIMARY KEY (order_id, id)
);
CREATE INDEX IF NOT EXISTS activities_by_id ON activities (id);
CREATE TABLE IF NOT EXISTS lines (
  order_id TEXT NOT NULL,
  activity_id TEXT NOT NULL,
  kind TEXT NOT NULL,
  id TEXT NOT NULL,
  position INTEGER NOT NULL,
  measurement_type TEXT NOT NULL,
  origin TEXT NOT NULL,
  allowed_actions TEXT NOT NULL,
  actions_performed TEXT NOT NULL,
  property_values TEXT NOT NULL,
  PRIMARY KEY (order_id, activity_id, kind, id),
  FOREIGN KEY (order_id, activity_id) REFERENCES activities (order_id, id) ON DELETE CASCADE
);
CREATE TABLE IF NOT EXISTS payments (
  order_id TEXT NOT NULL REFERENCES service_orders (id) ON DELETE CASCADE,
  number INTEGER NOT NULL,
  property_values TEXT NOT NULL,
  PRIMARY KEY (order_id, number)
);
CREATE TABLE IF NOT EXISTS hours_lines (
  line_number INTEGER PRIMARY KEY AUTOINCREMENT,
  employee TEXT NOT NULL,
  task TEXT NOT NULL,
  cost_component TEXT NOT NULL,
  hourly_labor_type TEXT NOT NULL,
  registration_date TEXT NOT NULL,
  spent_time REAL NOT NULL
);
CREATE INDEX IF NOT EXISTS hours_lines_by_employee ON hours_lines (employee);
CREATE TABLE IF NOT EXISTS service_inspections (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  client_id TEXT NOT NULL,
  configuration TEXT NOT NULL,
  object TEXT NOT NULL,
  object_number TEXT NOT NULL,
  serial_number TEXT NOT NULL,
  reference_activity TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS measurements (
  inspection_id INTEGER NOT NULL REFERENCES service_inspections (id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  measurement_type TEXT NOT NULL,
  sequence TEXT NOT NULL,
  registration_time TEXT NOT NULL,
  independent_value TEXT NOT NULL,
  dependent_value TEXT NOT NULL,
  PRIMARY KEY (inspection_id, position)
);
CREATE TABLE IF NOT EXISTS assignment_actions (
  order_id TEXT NOT NULL,
  activity_id TEXT NOT NULL,
  employee TEXT NOT NULL,
  action_taken TEXT NOT NULL,
  downloaded_on TEXT NOT NULL,
  accepted_on TEXT NOT NULL,
  PRIMARY KEY (order_id, activity_id)
);
CREATE TABLE IF NOT EXISTS booking_keys (
  kind TEXT NOT NULL,
  key TEXT NOT NULL,
  outcome TEXT NOT NULL,
  PRIMARY KEY (kind, key)
);
)sql";

// The table created last: a store that has it has them all.
constexpr std::string_view kNewestTable = "booking_keys";

constexpr std::string_view kBookingKindNames[] = {"jobsheet", "hours", "serviceinspection"};

std::string_view BookingKindName(BookingKind kind) {
  return kBookingKindNames[static_cast<std::size_t>(kind)];
}

constexpr std::string_view kLineKindNames[] = {"material", "labor", "other", "inspection", "hour"};

LineKind LineKindFromName(std::string_view name, const std::filesystem::path& file) {
  for (std::size_t index = 0; index < std::size(kLineKindNames); ++index) {
    if (kLineKindNames[index] == name) return static_cast<LineKind>(index);
  }
  throw Error(error_number::kGenericFailure, "Reference ERP store '" + file.string() +
                                                 "' holds a line of the unknown kind '" +
                                                 std::string(name) + "'");
}

std::string ToJson(const PropertyValues& values) {
  nlohmann::json object = nlohmann::json::object();
  for (const auto& [name, value] : values) object[name] = value;
  return object.dump();
}

PropertyValues FromJson(const std::string& text, const std::filesystem::path& file) {
  PropertyValues values;
  try {
    const nlohmann::json object = nlohmann::json::parse(text);
    for (const auto& [name, value] : object.items()) values.emplace(name, value.get<std::string>());
  } catch (const nlohmann::json::exception& error) {
    throw Error(error_number::kGenericFailure, "Reference ERP store '" + file.string() +
                                                   "' holds unreadable property values '" + text +
                                                   "': " + error.what());
  }
  return values;
}

// Reads the activities and lines of `order` (whose head is already read).
void ReadActivities(SqliteDatabase& database, ServiceOrder& order) {
  Statement activities = database.Prepare(
      "SELECT id, status, origin, type, allowed_actions, actions_performed, details "
      "FROM activities WHERE order_id = ?1 ORDER BY position");
  activities.Bind(1, order.id);
  while (activities.Step()) {
    Activity& activity = order.activities.emplace_back();
    activity.id = activities.Text(0);
    activity.status = activities.Text(1);
    activity.origin = activities.Text(2);
    activity.type = activities.Text(3);
    activity.allowed_actions = activities.Text(4);
    activity.actions_performed = activities.Text(5);
    activity.details = FromJson(activities.Text(6), database.file());
  }
  Statement lines = database.Prepare(
      "SELECT activity_id, kind, id, measurement_type, origin, allowed_actions, "
      "actions_performed, property_values FROM lines WHERE order_id = ?1 ORDER BY position");
  lines.Bind(1, order.id);
  while (lines.Step()) {
    Activity* activity = order.FindActivity(lines.Text(0));
    if (activity == nullptr) continue;  // cannot happen: the key references the activity
    Line& line = activity->lines.emplace_back();
    line.kind = LineKindFromName(lines.Text(1), database.file());
    line.id = lines.Text(2);
    line.measurement_type = lines.Text(3);
    line.origin = lines.Text(4);
    line.allowed_actions = lines.Text(5);
    line.actions_performed = lines.Text(6);
    line.values = FromJson(lines.Text(7), database.file());
  }
}

constexpr std::string_view kOrderColumns =
    "id, employee, assigned_on, status, service_center, origin, type, allowed_actions, "
    "actions_performed, invoice_id, cancelled_on, cancel_reason, details";

ServiceOrder ReadOrderHead(const Statement& row, const std::filesystem::path& file) {
  ServiceOrder order;
  order.id = row.Text(0);
  order.employee = row.Text(1);
  order.assigned_on = row.Text(2);
  order.status = row.Text(3);
  order.service_center = row.Text(4);
  order.origin = row.Text(5);
  order.type = row.Text(6);
  order.allowed_actions = row.Text(7);
  order.actions_performed = row.Text(8);
  order.invoice_id = row.Text(9);
  order.cancelled_on = row.Text(10);
  order.cancel_reason = row.Text(11);
  order.details = FromJson(row.Text(12), file);
  return order;
}

}  // namespace

std::string_view LineKindName(LineKind kind) {
  return kLineKindNames[static_cast<std::size_t>(kind)];
}

Activity* ServiceOrder::FindActivity(std::string_view activity_id) {
  for (Activity& activity : activities) {
    if (activity.id == activity_id) return &activity;
  }
  return nullptr;
}

const Activity* ServiceOrder::FindActivity(std::string_view activity_id) const {
  return const_cast<ServiceOrder*>(this)->FindActivity(activity_id);
}

// --- Store ----------------------------------------------------------------------------------

namespace {

// Creates the tables of a new store in one transaction (one write to the disk instead of one
// per table), and those a store of an earlier release lacks; a store that has them all is
// left alone.
void CreateMissingTables(SqliteDatabase& database) {
  Statement tables =
      database.Prepare("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?1");
  tables.Bind(1, kNewestTable);
  tables.Step();
  if (tables.Integer(0) != 0) return;
  database.Execute("BEGIN IMMEDIATE;" + std::string(kSchema) + "COMMIT;");
}

}  // namespace

std::unique_ptr<Store> Store::Open(const std::filesystem::path& file) {
  auto database = SqliteDatabase::Open(file, /*create=*/false);
  CreateMissingTables(*database);
  return std::unique_ptr<Store>(new Store(std::move(database)));
}

std::unique_ptr<Store> Store::Create(const std::filesystem::path& file) {
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  auto database = SqliteDatabase::Open(file, /*create=*/true);
  CreateMissingTables(*database);
  return std::unique_ptr<Store>(new Store(std::move(database)));
}

Store::Store(std::unique_ptr<internal::SqliteDatabase> database) : database_(std::move(database)) {}

Store::~Store() = default;

const std::filesystem::path& Store::file() const { return database_->file(); }

void Store::InTransaction(const std::function<void()>& work) {
  std::lock_guard lock(mutex_);
  const bool nested = transaction_depth_ > 0;
  database_->Execute(nested ? "SAVEPOINT nested" : "BEGIN IMMEDIATE");
  ++transaction_depth_;
  try {
    work();
  } catch (...) {
    --transaction_depth_;
    database_->Execute(nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
    throw;
  }
  --transaction_depth_;
  database_->Execute(nested ? "RELEASE nested" : "COMMIT");
}

void Store::InReadTransaction(const std::function<void()>& work) const {
  std::lock_guard lock(mutex_);
  if (transaction_depth_ > 0) {  // inside a transaction already: its reads are one moment
    work();
    return;
  }
  // Deferred: the first read fixes the moment, and no writer is kept waiting.
  database_->Execute("BEGIN DEFERRED");
  ++transaction_depth_;
  try {
    work();
  } catch (...) {
    --transaction_depth_;
    database_->Execute("ROLLBACK");
    throw;
  }
  --transaction_depth_;
  database_->Execute("COMMIT");
}

void Store::PutEmployee(const Employee& employee) {
  std::lock_guard lock(mutex_);
  database_
      ->Prepare(
          "INSERT INTO employees (number, name, service_center) VALUES (?1, ?2, ?3) "
          "ON CONFLICT (number) DO UPDATE SET name = excluded.name, "
          "service_center = excluded.service_center")
      .Bind(1, employee.number)
      .Bind(2, employee.name)
      .Bind(3, employee.service_center)
      .Run();
}

std::optional<Employee> Store::FindEmployee(std::string_view number) const {
  std::lock_guard lock(mutex_);
  Statement row =
      database_->Prepare("SELECT number, name, service_center FROM employees WHERE number = ?1");
  row.Bind(1, number);
  if (!row.Step()) return std::nullopt;
  return Employee{row.Text(0), row.Text(1), row.Text(2)};
}

void Store::PutTask(std::string_view code, std::string_view description) {
  std::lock_guard lock(mutex_);
  database_
      ->Prepare(
          "INSERT INTO tasks (code, description) VALUES (?1, ?2) "
          "ON CONFLICT (code) DO UPDATE SET description = excluded.description")
      .Bind(1, code)
      .Bind(2, description)
      .Run();
}

bool Store::IsTask(std::string_view code) const {
  std::lock_guard lock(mutex_);
  Statement row = database_->Prepare("SELECT 1 FROM tasks WHERE code = ?1");
  row.Bind(1, code);
  return row.Step();
}

void Store::PutServiceOrder(const ServiceOrder& order) {
  InTransaction([&] {
    database_
        ->Prepare(
            "INSERT INTO service_orders (id, employee, assigned_on, status, service_center, "
            "origin, type, allowed_actions, actions_performed, invoice_id, cancelled_on, "
            "cancel_reason, details) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, "
            "?13) ON CONFLICT (id) DO UPDATE SET employee = excluded.employee, "
            "assigned_on = excluded.assigned_on, status = excluded.status, "
            "service_center = excluded.service_center, origin = excluded.origin, "
            "type = excluded.type, allowed_actions = excluded.allowed_actions, "
            "actions_performed = excluded.actions_performed, invoice_id = excluded.invoice_id, "
            "cancelled_on = excluded.cancelled_on, cancel_reason = excluded.cancel_reason, "
            "details = excluded.details")
        .Bind(1, order.id)
        .Bind(2, order.employee)
        .Bind(3, order.assigned_on)
        .Bind(4, order.status)
        .Bind(5, order.service_center)
        .Bind(6, order.origin)
        .Bind(7, order.type)
        .Bind(8, order.allowed_actions)
        .Bind(9, order.actions_performed)
        .Bind(10, order.invoice_id)
        .Bind(11, order.cancelled_on)
        .Bind(12, order.cancel_reason)
        .Bind(13, ToJson(order.details))
        .Run();
    database_->Prepare("DELETE FROM activities WHERE order_id = ?1").Bind(1, order.id).Run();
    Statement insert_activity = database_->Prepare(
        "INSERT INTO activities (order_id, id, position, status, origin, type, allowed_actions, "
        "actions_performed, details) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    Statement insert_line = database_->Prepare(
        "INSERT INTO lines (order_id, activity_id, kind, id, position, measurement_type, origin, "
        "allowed_actions, actions_performed, property_values) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    std::int64_t activity_position = 0;
    std::int64_t line_position = 0;
    for (const Activity& activity : order.activities) {
      insert_activity.Reset()
          .Bind(1, order.id)
          .Bind(2, activity.id)
          .Bind(3, ++activity_position)
          .Bind(4, activity.status)
          .Bind(5, activity.origin)
          .Bind(6, activity.type)
          .Bind(7, activity.allowed_actions)
          .Bind(8, activity.actions_performed)
          .Bind(9, ToJson(activity.details))
          .Run();
      for (const Line& line : activity.lines) {
        insert_line.Reset()
            .Bind(1, order.id)
            .Bind(2, activity.id)
            .Bind(3, LineKindName(line.kind))
            .Bind(4, line.id)
            .Bind(5, ++line_position)
            .Bind(6, line.measurement_type)
            .Bind(7, line.origin)
            .Bind(8, line.allowed_actions)
            .Bind(9, line.actions_performed)
            .Bind(10, ToJson(line.values))
            .Run();
      }
    }
  });
}

// An order's head, activities and lines are read in one read transaction: a writer on another
// connection (the broker booking a job sheet) never leaves the reader with a head of one moment
// and lines of another.
std::optional<ServiceOrder> Store::FindServiceOrder(std::string_view id) const {
  std::optional<ServiceOrder> order;
  InReadTransaction([&] {
    Statement row = database_->Prepare("SELECT " + std::string(kOrderColumns) +
                                       " FROM service_orders WHERE id = ?1");
    row.Bind(1, id);
    if (!row.Step()) return;
    order = ReadOrderHead(row, database_->file());
    ReadActivities(*database_, *order);
  });
  return order;
}

bool Store::HasServiceOrder(std::string_view id) const {
  std::lock_guard lock(mutex_);
  Statement row = database_->Prepare("SELECT 1 FROM service_orders WHERE id = ?1");
  row.Bind(1, id);
  return row.Step();
}

std::vector<ServiceOrder> Store::ServiceOrdersOf(std::string_view employee) const {
  std::vector<ServiceOrder> orders;
  InReadTransaction([&] {
    Statement rows = database_->Prepare("SELECT " + std::string(kOrderColumns) +
                                        " FROM service_orders WHERE employee = ?1 ORDER BY id");
    rows.Bind(1, employee);
    while (rows.Step()) orders.push_back(ReadOrderHead(rows, database_->file()));
    for (ServiceOrder& order : orders) ReadActivities(*database_, order);
  });
  return orders;
}

std::vector<std::string> Store::OrdersWithActivity(std::string_view activity_id) const {
  std::lock_guard lock(mutex_);
  Statement rows =
      database_->Prepare("SELECT order_id FROM activities WHERE id = ?1 ORDER BY order_id");
  rows.Bind(1, activity_id);
  std::vector<std::string> orders;
  while (rows.Step()) orders.push_back(rows.Text(0));
  return orders;
}

std::int64_t Store::CountServiceOrders() const {
  std::lock_guard lock(mutex_);
  Statement row = database_->Prepare("SELECT COUNT(*) FROM service_orders");
  row.Step();
  return row.Integer(0);
}

std::int64_t Store::AddPayment(std::string_view order_id, const PropertyValues& values) {
  std::int64_t number = 0;
  InTransaction([&] {
    Statement next =
        database_->Prepare("SELECT COALESCE(MAX(number), 0) + 1 FROM payments WHERE order_id = ?1");
    next.Bind(1, order_id);
    next.Step();
    number = next.Integer(0);
    database_
        ->Prepare("INSERT INTO payments (order_id, number, property_values) VALUES (?1, ?2, ?3)")
        .Bind(1, order_id)
        .Bind(2, number)
        .Bind(3, ToJson(values))
        .Run();
  });
  return number;
}

std::vector<Payment> Store::PaymentsOf(std::string_view order_id) const {
  std::lock_guard lock(mutex_);
  Statement rows = database_->Prepare(
      "SELECT number, property_values FROM payments WHERE order_id = ?1 ORDER BY number");
  rows.Bind(1, order_id);
  std::vector<Payment> payments;
  while (rows.Step()) {
    payments.push_back(Payment{rows.Integer(0), FromJson(rows.Text(1), database_->file())});
  }
  return payments;
}

std::int64_t Store::BookHours(const HoursLine& line) {
  std::lock_guard lock(mutex_);
  database_
      ->Prepare(
          "INSERT INTO hours_lines (employee, task, cost_component, hourly_labor_type, "
          "registration_date, spent_time) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
      .Bind(1, line.employee)
      .Bind(2, line.task)
      .Bind(3, line.cost_component)
      .Bind(4, line.hourly_labor_type)
      .Bind(5, line.registration_date)
      .Bind(6, line.spent_time)
      .Run();
  return database_->LastInsertRowId();
}

std::vector<HoursLine> Store::HoursLinesOf(std::string_view employee) const {
  std::lock_guard lock(mutex_);
  Statement rows = database_->Prepare(
      "SELECT line_number, employee, task, cost_component, hourly_labor_type, "
      "registration_date, spent_time FROM hours_lines WHERE employee = ?1 ORDER BY line_number");
  rows.Bind(1, employee);
  std::vector<HoursLine> lines;
  while (rows.Step()) {
    lines.push_back(HoursLine{rows.Integer(0), rows.Text(1), rows.Text(2), rows.Text(3),
                              rows.Text(4), rows.Text(5), rows.Real(6)});
  }
  return lines;
}

std::int64_t Store::AddServiceInspection(const ServiceInspection& inspection) {
  std::int64_t id = 0;
  InTransaction([&] {
    database_
        ->Prepare(
            "INSERT INTO service_inspections (client_id, configuration, object, object_number, "
            "serial_number, reference_activity) VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
        .Bind(1, inspection.client_id)
        .Bind(2, inspection.configuration)
        .Bind(3, inspection.object)
        .Bind(4, inspection.object_number)
        .Bind(5, inspection.serial_number)
        .Bind(6, inspection.reference_activity)
        .Run();
    id = database_->LastInsertRowId();
    std::int64_t position = 0;
    for (const Measurement& measurement : inspection.measurements) {
      database_
          ->Prepare(
              "INSERT INTO measurements (inspection_id, position, measurement_type, sequence, "
              "registration_time, independent_value, dependent_value) "
              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)")
          .Bind(1, id)
          .Bind(2, ++position)
          .Bind(3, measurement.measurement_type)
          .Bind(4, measurement.sequence)
          .Bind(5, measurement.registration_time)
          .Bind(6, measurement.independent_value)
          .Bind(7, measurement.dependent_value)
          .Run();
    }
  });
  return id;
}

std::optional<ServiceInspection> Store::FindServiceInspection(std::int64_t id) const {
  std::lock_guard lock(mutex_);
  Statement head = database_->Prepare(
      "SELECT id, client_id, configuration, object, object_number, serial_number, "
      "reference_activity FROM service_inspections WHERE id = ?1");
  head.Bind(1, id);
  if (!head.Step()) return std::nullopt;
  ServiceInspection inspection{head.Integer(0), head.Text(1), head.Text(2), head.Text(3),
                               head.Text(4),    head.Text(5), head.Text(6), {}};
  Statement rows = database_->Prepare(
      "SELECT measurement_type, sequence, registration_time, independent_value, "
      "dependent_value FROM measurements WHERE inspection_id = ?1 ORDER BY position");
  rows.Bind(1, id);
  while (rows.Step()) {
    inspection.measurements.push_back(
        Measurement{rows.Text(0), rows.Text(1), rows.Text(2), rows.Text(3), rows.Text(4)});
  }
  return inspection;
}

void Store::RecordAssignment(const AssignmentAction& action) {
  std::lock_guard lock(mutex_);
  database_
      ->Prepare(
          "INSERT INTO assignment_actions (order_id, activity_id, employee, action_taken, "
          "downloaded_on, accepted_on) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
          "ON CONFLICT (order_id, activity_id) DO UPDATE SET employee = excluded.employee, "
          "action_taken = excluded.action_taken, downloaded_on = excluded.downloaded_on, "
          "accepted_on = excluded.accepted_on")
      .Bind(1, action.order_id)
      .Bind(2, action.activity_id)
      .Bind(3, action.employee)
      .Bind(4, action.action_taken)
      .Bind(5, action.downloaded_on)
      .Bind(6, action.accepted_on)
      .Run();
}

std::optional<AssignmentAction> Store::FindAssignment(std::string_view order_id,
                                                      std::string_view activity_id) const {
  std::lock_guard lock(mutex_);
  Statement row = database_->Prepare(
      "SELECT order_id, activity_id, employee, action_taken, downloaded_on, accepted_on "
      "FROM assignment_actions WHERE order_id = ?1 AND activity_id = ?2");
  row.Bind(1, order_id).Bind(2, activity_id);
  if (!row.Step()) return std::nullopt;
  return AssignmentAction{row.Text(0), row.Text(1), row.Text(2),
                          row.Text(3), row.Text(4), row.Text(5)};
}

std::string Store::BookOnce(BookingKind kind, std::string_view key,
                            const std::function<std::string()>& book) {
  std::string outcome;
  InTransaction([&] {
    if (std::optional<std::string> stored = FindBookingOutcome(kind, key)) {
      outcome = std::move(*stored);
      return;
    }
    outcome = book();
    database_->Prepare("INSERT INTO booking_keys (kind, key, outcome) VALUES (?1, ?2, ?3)")
        .Bind(1, BookingKindName(kind))
        .Bind(2, key)
        .Bind(3, outcome)
        .Run();
  });
  return outcome;
}

std::optional<std::string> Store::FindBookingOutcome(BookingKind kind, std::string_view key) const {
  std::lock_guard lock(mutex_);
  Statement row =
      database_->Prepare("SELECT outcome FROM booking_keys WHERE kind = ?1 AND key = ?2");
  row.Bind(1, BookingKindName(kind)).Bind(2, key);
  if (!row.Step()) return std::nullopt;
  return row.Text(0);
}

}  // namespace tqs::erp
