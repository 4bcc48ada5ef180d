#include "erp/hours_accounting_manager.h"

#include <fmt/format.h>

#include <utility>
#include <vector>

#include "common/erp/hours_accounting.h"
#include "common/error.h"
#include "erp/booking_once_internal.h"
#include "erp/late_bound_internal.h"
#include "erp/values.h"

namespace tqs::erp {

namespace {

namespace ha = hours_accounting;
using automation::ObjectPtr;
using automation::Variant;
using internal::Ask;
using internal::KeptText;
using internal::NewDataObject;
using internal::OptionalObject;

constexpr double kMostHoursPerLine = 24;

std::string ProgId(std::string_view class_name) {
  return std::string(ha::kPrefix) + std::string(class_name);
}

// The value a line was given with `setter`.
Variant ValueOf(const ObjectPtr& line, std::string_view setter) {
  return Ask(line, "get" + std::string(setter.substr(3)));
}

// Reads and checks one line; adds its problems, prefixed with the line's position.
HoursLine ReadLine(const Store& store, const ObjectPtr& line, std::size_t position,
                   std::vector<std::string>& problems) {
  const auto problem = [&](std::string text) {
    problems.push_back(fmt::format("Hours line {}: {}", position, text));
  };
  HoursLine hours;
  if (!line) {
    problem("the line is empty (it was handed over without values)");
    return hours;
  }
  hours.employee = KeptText(ValueOf(line, ha::method::kSetEmployee));
  hours.task = KeptText(ValueOf(line, ha::method::kSetTask));
  hours.cost_component = KeptText(ValueOf(line, ha::method::kSetCostComponent));
  hours.hourly_labor_type = KeptText(ValueOf(line, ha::method::kSetHourlyLaborType));
  const std::string date = KeptText(ValueOf(line, ha::method::kSetRegistrationDate));
  const Variant spent = ValueOf(line, ha::method::kSetSpentTime);

  if (hours.employee.empty()) {
    problem("the employee is missing");
  } else if (!store.FindEmployee(hours.employee)) {
    problem(fmt::format("employee '{}' is not known to the ERP", hours.employee));
  }
  if (hours.task.empty()) {
    problem("the task is missing");
  } else if (!store.IsTask(hours.task)) {
    problem(fmt::format("task '{}' is not a task the ERP knows", hours.task));
  }
  if (const auto day = ParseCompactDate(date, "ddmmyyyy")) {
    hours.registration_date = FormatErpDate(*day);
  } else {
    problem(fmt::format("registration date '{}' is no date (ddmmyyyy)", date));
  }
  const std::optional<double> time = spent.type() == automation::VariantType::kText
                                         ? ParseErpNumber(spent.AsText())
                                         : spent.TryDouble();
  if (!time || spent.IsEmpty()) {
    problem(fmt::format("spent time '{}' is not a number", KeptText(spent)));
  } else if (*time <= 0 || *time > kMostHoursPerLine) {
    problem(fmt::format("spent time {} is not above 0 and at most {} hours", KeptText(spent),
                        kMostHoursPerLine));
  } else {
    hours.spent_time = *time;
  }
  return hours;
}

// What Create decided: the problems found (nothing booked), or the lines booked.
struct HoursOutcome {
  std::vector<std::string> problems;
  std::vector<HoursLine> booked;
};

// Checks the record set handed to Create and books its lines when all pass.
HoursOutcome BookRecordSet(Store& store, const Variant& record_set_argument) {
  const ObjectPtr record_set =
      OptionalObject(record_set_argument, "the record set argument of Create");
  HoursOutcome outcome;
  std::vector<HoursLine> lines;
  if (!record_set) {
    outcome.problems.push_back("No record set of hours lines was handed over");
  } else {
    const std::string name(ha::method::kAddServiceOrderHoursAccounting.substr(3));
    const std::int32_t count = internal::AskCount(record_set, "size" + name);
    if (count == 0) outcome.problems.push_back("The record set holds no hours lines");
    for (std::int32_t index = 0; index < count; ++index) {
      const ObjectPtr line = OptionalObject(
          internal::AskAt(record_set, ha::method::kGetServiceOrderHoursAccountingAt, index),
          ha::method::kGetServiceOrderHoursAccountingAt);
      lines.push_back(ReadLine(store, line, static_cast<std::size_t>(index) + 1, outcome.problems));
    }
  }
  if (outcome.problems.empty()) {
    store.InTransaction([&] {
      for (HoursLine& line : lines) line.line_number = store.BookHours(line);
    });
    outcome.booked = std::move(lines);
  }
  return outcome;
}

// The outcome as it is kept under an idempotency key: what the answer shows of each line.
nlohmann::json OutcomeToJson(const HoursOutcome& outcome) {
  nlohmann::json booked = nlohmann::json::array();
  for (const HoursLine& line : outcome.booked) {
    booked.push_back({{"line_number", line.line_number},
                      {"employee", line.employee},
                      {"task", line.task},
                      {"spent_time", line.spent_time}});
  }
  return {{"problems", outcome.problems}, {"booked", std::move(booked)}};
}

HoursOutcome OutcomeFromJson(const nlohmann::json& json) {
  HoursOutcome outcome;
  outcome.problems = json.at("problems").get<std::vector<std::string>>();
  for (const nlohmann::json& line : json.at("booked")) {
    HoursLine& booked = outcome.booked.emplace_back();
    booked.line_number = line.at("line_number").get<std::int64_t>();
    booked.employee = line.at("employee").get<std::string>();
    booked.task = line.at("task").get<std::string>();
    booked.spent_time = line.at("spent_time").get<double>();
  }
  return outcome;
}

}  // namespace

ObjectPtr HoursAccountingManager::NewObject(std::shared_ptr<Store> store) {
  return internal::MakeComponentObject<HoursAccountingManager>(
      ha::prog_id::kServiceOrderHoursAccountingManager,
      std::make_shared<HoursAccountingManager>(std::move(store)),
      {{ha::method::kInitialize, &HoursAccountingManager::Initialize},
       {ha::method::kCreate, &HoursAccountingManager::Create},
       {ha::method::kSetIdempotencyKey, &HoursAccountingManager::SetIdempotencyKey}});
}

Variant HoursAccountingManager::Initialize(std::span<Variant> args) {
  internal::RequireArguments(args, 1, ha::prog_id::kServiceOrderHoursAccountingManager,
                             ha::method::kInitialize);
  business_component_ = KeptText(args[0]);
  return {};
}

Variant HoursAccountingManager::SetIdempotencyKey(std::span<Variant> args) {
  internal::RequireArguments(args, 1, ha::prog_id::kServiceOrderHoursAccountingManager,
                             ha::method::kSetIdempotencyKey);
  idempotency_key_ = internal::IdempotencyKey(args[0]);
  return {};
}

Variant HoursAccountingManager::Create(std::span<Variant> args) {
  internal::RequireArguments(args, 1, ha::prog_id::kServiceOrderHoursAccountingManager,
                             ha::method::kCreate);
  if (!business_component_) {
    throw Error(error_number::kGenericFailure,
                "ServiceOrderHoursAccountingManager.Create was called before Initialize");
  }
  const std::optional<std::string> key = std::exchange(idempotency_key_, std::nullopt);
  const HoursOutcome outcome = internal::BookOncePerKey<HoursOutcome>(
      *store_, BookingKind::kHours, key, [&] { return BookRecordSet(*store_, args[0]); },
      OutcomeToJson, OutcomeFromJson);

  auto error_document = NewDataObject(ProgId("KorvoErrorDoc"));
  auto stored = NewDataObject(ha::prog_id::kRecordset);
  const std::string error_list(ha::method::kSizeKorvoErrorStructure.substr(4));
  for (const std::string& problem : outcome.problems) {
    auto error = NewDataObject(ProgId("KorvoErrorStructure"));
    error->Set(ha::method::kGetErrorDescription.substr(3), Variant(problem));
    error_document->Add(error_list, Variant(ObjectPtr(std::move(error))));
  }
  for (const HoursLine& line : outcome.booked) {
    auto booked = NewDataObject(ha::prog_id::kServiceOrderHoursAccounting);
    booked->Set(ha::method::kSetEmployee.substr(3), Variant(line.employee));
    booked->Set(ha::method::kSetTask.substr(3), Variant(line.task));
    booked->Set(ha::method::kSetSpentTime.substr(3), Variant(line.spent_time));
    booked->Set(ha::method::kGetLineNumber.substr(3),
                Variant(static_cast<std::int32_t>(line.line_number)));
    stored->Add(ha::method::kAddServiceOrderHoursAccounting.substr(3),
                Variant(ObjectPtr(std::move(booked))));
  }

  auto answer = NewDataObject(ProgId("ServiceOrderHoursAccountingOutcome"));
  answer->Set(ha::method::kGetKorvoErrorDoc.substr(3), Variant(ObjectPtr(error_document)));
  answer->Set(ha::method::kGetRecordSet.substr(3), Variant(ObjectPtr(stored)));
  answer->Set("OReturnValue", Variant(std::int32_t{outcome.problems.empty() ? 0 : -1}));
  return Variant(ObjectPtr(std::move(answer)));
}

}  // namespace tqs::erp
