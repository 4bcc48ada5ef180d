#include "erp/service_inspections_manager.h"

#include <fmt/format.h>

#include <utility>
#include <vector>

#include "common/erp/service_inspections.h"
#include "common/error.h"
#include "erp/booking_once_internal.h"
#include "erp/late_bound_internal.h"
#include "erp/values.h"

namespace tqs::erp {

namespace {

namespace si = service_inspections;
using automation::ObjectPtr;
using automation::Variant;
using internal::Ask;
using internal::KeptText;
using internal::NewDataObject;
using internal::OptionalObject;

std::string ProgId(std::string_view class_name) {
  return std::string(si::kPrefix) + std::string(class_name);
}

// The value an object was given with `setter`, as text.
std::string ValueOf(const ObjectPtr& object, std::string_view setter) {
  return KeptText(Ask(object, "get" + std::string(setter.substr(3))));
}

ObjectPtr ObjectOf(const ObjectPtr& owner, std::string_view setter) {
  const std::string getter = "get" + std::string(setter.substr(3));
  return OptionalObject(Ask(owner, getter), getter);
}

// Reads the inspection handed over and adds the problems found.
ServiceInspection ReadInspection(const ObjectPtr& input, std::vector<std::string>& problems) {
  ServiceInspection inspection;
  const ObjectPtr service_inspection =
      input ? ObjectOf(input, si::method::kSetServiceInspection) : nullptr;
  if (!service_inspection) {
    problems.push_back("The service inspection holds no data");
    return inspection;
  }
  if (const ObjectPtr header =
          ObjectOf(service_inspection, si::method::kSetInspectionHeaderDetails)) {
    inspection.client_id = ValueOf(header, si::method::kSetServiceInspectionID);
    inspection.configuration = ValueOf(header, si::method::kSetConfiguration);
    inspection.object = ValueOf(header, si::method::kSetObject);
    inspection.object_number = ValueOf(header, si::method::kSetObjectNumber);
    inspection.serial_number = ValueOf(header, si::method::kSetSerialNumber);
    inspection.reference_activity = ValueOf(header, si::method::kSetReferenceActivity);
    if (inspection.object.empty()) {
      problems.push_back("The service inspection names no serviced object (CROB)");
    }
  } else {
    problems.push_back("The service inspection has no header (ATTRIBUTES)");
  }

  const ObjectPtr measurements = ObjectOf(service_inspection, si::method::kSetInspections);
  const std::string list(si::method::kAddInspection.substr(3));
  const std::int32_t count = measurements ? internal::AskCount(measurements, "size" + list) : 0;
  if (count == 0) problems.push_back("The service inspection holds no measurements");
  for (std::int32_t index = 0; index < count; ++index) {
    const std::string method = "get" + list + "At";
    const ObjectPtr entry = OptionalObject(internal::AskAt(measurements, method, index), method);
    const auto problem = [&](std::string text) {
      problems.push_back(fmt::format("Measurement {}: {}", index + 1, text));
    };
    if (!entry) {
      problem("it could not be read");
      continue;
    }
    Measurement& measurement = inspection.measurements.emplace_back();
    measurement.measurement_type = ValueOf(entry, si::method::kSetSIMeasurementType);
    measurement.sequence = ValueOf(entry, si::method::kSetMeasurementSequence);
    measurement.registration_time = ValueOf(entry, si::method::kSetRegistrationTime);
    measurement.independent_value = ValueOf(entry, si::method::kSetMeasuredIndependentValue);
    measurement.dependent_value = ValueOf(entry, si::method::kSetMeasuredDependentValue);
    if (measurement.measurement_type.empty()) problem("the measurement type (CMEA) is missing");
    if (!measurement.registration_time.empty() && !ParseErpDate(measurement.registration_time)) {
      problem(
          fmt::format("registration time (RGTM) '{}' is no date", measurement.registration_time));
    }
    for (const auto& [code, value] : {std::pair{"MIVL", &measurement.independent_value},
                                      std::pair{"MDVL", &measurement.dependent_value}}) {
      if (!value->empty() && !ParseErpNumber(*value)) {
        problem(fmt::format("measured value ({}) '{}' is not a number", code, *value));
      }
    }
  }
  return inspection;
}

// What ProcessServiceInspection decided: the id the inspection is stored under (the laptop's
// id when it was rejected) and the problems found.
struct InspectionOutcome {
  std::string id;
  bool stored = false;
  std::string description;
};

InspectionOutcome StoreInspection(Store& store, const Variant& input_argument) {
  std::vector<std::string> problems;
  const ServiceInspection inspection = ReadInspection(
      OptionalObject(input_argument, "the input argument of ProcessServiceInspection"), problems);
  InspectionOutcome outcome;
  outcome.stored = problems.empty();
  if (outcome.stored) {
    outcome.id = std::to_string(store.AddServiceInspection(inspection));
    return outcome;
  }
  outcome.id = inspection.client_id;
  for (const std::string& problem : problems) {
    if (!outcome.description.empty()) outcome.description += "; ";
    outcome.description += problem;
  }
  return outcome;
}

// The outcome as it is kept under an idempotency key.
nlohmann::json OutcomeToJson(const InspectionOutcome& outcome) {
  return {{"id", outcome.id}, {"stored", outcome.stored}, {"description", outcome.description}};
}

InspectionOutcome OutcomeFromJson(const nlohmann::json& json) {
  return InspectionOutcome{json.at("id").get<std::string>(), json.at("stored").get<bool>(),
                           json.at("description").get<std::string>()};
}

}  // namespace

ObjectPtr ServiceInspectionsManager::NewObject(std::shared_ptr<Store> store) {
  return internal::MakeComponentObject<ServiceInspectionsManager>(
      si::prog_id::kServiceInspectionsManager,
      std::make_shared<ServiceInspectionsManager>(std::move(store)),
      {{si::method::kInitialize, &ServiceInspectionsManager::Initialize},
       {si::method::kProcessServiceInspection,
        &ServiceInspectionsManager::ProcessServiceInspection},
       {si::method::kSetIdempotencyKey, &ServiceInspectionsManager::SetIdempotencyKey}});
}

Variant ServiceInspectionsManager::Initialize(std::span<Variant> args) {
  internal::RequireArguments(args, 1, si::prog_id::kServiceInspectionsManager,
                             si::method::kInitialize);
  business_component_ = KeptText(args[0]);
  return {};
}

Variant ServiceInspectionsManager::SetIdempotencyKey(std::span<Variant> args) {
  internal::RequireArguments(args, 1, si::prog_id::kServiceInspectionsManager,
                             si::method::kSetIdempotencyKey);
  idempotency_key_ = internal::IdempotencyKey(args[0]);
  return {};
}

Variant ServiceInspectionsManager::ProcessServiceInspection(std::span<Variant> args) {
  internal::RequireArguments(args, 4, si::prog_id::kServiceInspectionsManager,
                             si::method::kProcessServiceInspection);
  if (!business_component_) {
    throw Error(error_number::kGenericFailure,
                "ServiceInspectionsManager.ProcessServiceInspection was called before Initialize");
  }
  const std::optional<std::string> key = std::exchange(idempotency_key_, std::nullopt);
  const InspectionOutcome decided = internal::BookOncePerKey<InspectionOutcome>(
      *store_, BookingKind::kServiceInspection, key,
      [&] { return StoreInspection(*store_, args[0]); }, OutcomeToJson, OutcomeFromJson);
  const bool stored = decided.stored;

  auto result = NewDataObject(ProgId("SI"));
  result->Set(si::method::kGetServiceInspectionLineAttribute.substr(3), Variant(decided.id));
  result->Set(si::method::kGetResult.substr(3), Variant(stored ? "0" : "-1"));
  result->Set(si::method::kGetErrorDescription.substr(3), Variant(decided.description));
  auto structure = NewDataObject(si::prog_id::kOErrorProcessStructForProcessSI);
  structure->Set(si::method::kGetSI.substr(3), Variant(ObjectPtr(std::move(result))));
  auto outcome = NewDataObject(ProgId("oProcessServiceInspection"));
  outcome->Set(si::method::kGetOErrorProcessStructForProcessSI.substr(3),
               Variant(ObjectPtr(std::move(structure))));
  outcome->Set(si::method::kGetOReturnValue.substr(3), Variant(std::int32_t{stored ? 0 : -1}));
  return Variant(ObjectPtr(std::move(outcome)));
}

}  // namespace tqs::erp
