#include "server/host/method_table.h"

#include <map>
#include <memory>
#include <pugixml.hpp>

#include "common/conversions.h"
#include "common/erp/assignments.h"
#include "common/error.h"
#include "common/text.h"
#include "platform/xml/xml.h"
#include "server/date_object.h"
#include "server/text_parameters.h"

namespace tqs::server::host {

using automation::Variant;

std::string Arguments::Text(std::string_view name) const {
  return values_.find(name)->second.AsText();
}

Variant& Arguments::Ref(std::string_view name) { return values_.find(name)->second; }

const pugi::xml_document& Arguments::Document(std::string_view name) {
  // The method receives the parsed document, not the text, so the text is checked here.
  const std::string text = Text(name);
  refused_a_parameter_ = true;  // until the text is a document
  CheckTextParameters({{name, text}});
  auto document = std::make_unique<pugi::xml_document>();
  std::string error;
  if (!xml::LoadXml(*document, text, &error)) {
    throw Error(error_number::kTypeMismatch,
                "The parameter '" + std::string(name) + "' is not an XML document: " + error);
  }
  refused_a_parameter_ = false;
  documents_.push_back(std::move(document));
  return *documents_.back();
}

namespace {

constexpr const char* kConnectionStringParameter = "i_sDSNString";
constexpr const char* kAssignmentsMeaning =
    "the assignments document (XML text): root > service order (id) > activity (id, ataken, "
    "don, aon)";
constexpr const char* kDsnMeaning =
    "server database connection string, e.g. \"Provider=SQLite;Data Source=/srv/tqs/server.db\"";

Variant FromJson(const nlohmann::json& value, const std::string& name) {
  switch (value.type()) {
    case nlohmann::json::value_t::null:
      return Variant::Null();
    case nlohmann::json::value_t::string:
      return Variant(value.get<std::string>());
    case nlohmann::json::value_t::boolean:
      return Variant(value.get<bool>());
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned: {
      const auto number = value.get<std::int64_t>();
      if (number >= INT32_MIN && number <= INT32_MAX) return Variant(static_cast<std::int32_t>(number));
      return Variant(static_cast<double>(number));
    }
    case nlohmann::json::value_t::number_float:
      return Variant(value.get<double>());
    default:
      throw Error(error_number::kTypeMismatch,
                  "The parameter '" + name + "' must be a text, a number, a Boolean or null");
  }
}

// The fields of the date object that returnDate answers.
nlohmann::json DateFields(const Variant& value) {
  const auto date = std::dynamic_pointer_cast<DateObject>(value.AsObject());
  if (!date) return ToJson(value);
  using Field = DateObject::Field;
  return {{"year", date->Get(Field::kYear)},   {"month", date->Get(Field::kMonth)},
          {"date", date->Get(Field::kDate)},   {"hours", date->Get(Field::kHours)},
          {"minutes", date->Get(Field::kMinutes)}, {"seconds", date->Get(Field::kSeconds)}};
}

std::vector<Method> BuildMethods() {
  return {
      {"getJobSheets",
       "The job sheets the ERP has for the login's engineer: new, additions, cancellations",
       {{"i_sLogin", Direction::kIn, "login of the user (USERDEFAULTS.LOGN)"},
        {"i_sJobSheets", Direction::kIn,
         "the job sheet request: what the laptop holds (serviceorder > activities > lines)"},
        {"i_sDSNString", Direction::kIn, kDsnMeaning},
        {"o_vJobSheets", Direction::kInOut, "the job sheets response"},
        {"o_vErrorDetails", Direction::kInOut, "the reason of a failure, or the ERP's errors"}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         return job_sheet.getJobSheets(args.Text("i_sLogin"), args.Text("i_sJobSheets"),
                                       args.Text("i_sDSNString"), args.Ref("o_vJobSheets"),
                                       args.Ref("o_vErrorDetails"));
       }},
      {"StoreOutboxContent",
       "Store the outbox of a laptop as pending documents; o_vResult is the upload feedback",
       {{"i_sOutboxContent", Direction::kIn, "the business-documents envelope (XML text)"},
        {"i_sEmployee", Direction::kIn, "employee number of the uploading user"},
        {"i_sDSNString", Direction::kIn, kDsnMeaning},
        {"o_vResult", Direction::kInOut, "the upload feedback document"}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         return job_sheet.StoreOutboxContent(args.Text("i_sOutboxContent"),
                                             args.Text("i_sEmployee"), args.Text("i_sDSNString"),
                                             args.Ref("o_vResult"));
       }},
      {"GetProcessResult",
       "The stored results of the awaited interactions that are finished",
       {{"i_sResultFor", Direction::kIn, "the process result request (XML text)"},
        {"i_sEmployee", Direction::kIn, "employee number of the user"},
        {"i_sDSNString", Direction::kIn, kDsnMeaning},
        {"o_vResult", Direction::kInOut, "the businessdocuments answer"}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         return job_sheet.GetProcessResult(args.Text("i_sResultFor"), args.Text("i_sEmployee"),
                                           args.Text("i_sDSNString"), args.Ref("o_vResult"));
       }},
      {"updateAssignments",
       "Pass the assignment actions of the login's engineer to the ERP",
       {{"i_sLogin", Direction::kIn, "login of the user (USERDEFAULTS.LOGN)"},
        {"i_oAssignments", Direction::kIn, kAssignmentsMeaning},
        {"i_sDSNString", Direction::kIn, kDsnMeaning},
        {"o_vFeedBack", Direction::kInOut, "never written"},
        {"o_vErrorDetails", Direction::kInOut, "the reason of a failure"}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         return job_sheet.updateAssignments(args.Text("i_sLogin"), args.Document("i_oAssignments"),
                                            args.Text("i_sDSNString"), args.Ref("o_vFeedBack"),
                                            args.Ref("o_vErrorDetails"));
       }},
      {"sendAssignments",
       "Pass assignment actions to the ERP for an employee and business component",
       {{"i_sEmployee", Direction::kIn, "employee number"},
        {"i_sBusComponent", Direction::kIn, "ERP business component"},
        {"i_oAssignments", Direction::kIn, kAssignmentsMeaning},
        {"o_vFeedBack", Direction::kInOut, "never written"},
        {"o_vErrorDetails", Direction::kInOut, "the reason of a failure"}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         return job_sheet.sendAssignments(args.Text("i_sEmployee"), args.Text("i_sBusComponent"),
                                          args.Document("i_oAssignments"), args.Ref("o_vFeedBack"),
                                          args.Ref("o_vErrorDetails"));
       }},
      {"prepareAssignments",
       "Fill a new ERP assignment input object (created by the host) from the document",
       {{"i_oAssignments", Direction::kIn, kAssignmentsMeaning},
        {"i_oInputAssignement", Direction::kInOut, "the ERP input object (created by the host)"}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         automation::ObjectPtr input =
             job_sheet.components().Create(erp::assignments::prog_id::kIAssignments);
         const Variant result = job_sheet.prepareAssignments(args.Document("i_oAssignments"), input);
         args.Ref("i_oInputAssignement") = input;
         return result;
       }},
      {"returnDate",
       "The UTC stamp yyyymmddThhnnss as a date in the server's local time",
       {{"i_sDate", Direction::kIn, "the UTC time stamp, e.g. \"20261208T120000\""}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         return job_sheet.returnDate(args.Text("i_sDate"));
       },
       DateFields},
      {"UpdateLastUsedNumbersInServer",
       "Raise the last used order, quotation and invoice numbers on both sides to the larger",
       {{"i_sLogin", Direction::kIn, "login of the user (USERDEFAULTS.LOGN)"},
        {"i_sDSNString", Direction::kIn, kDsnMeaning},
        {"io_sXML", Direction::kInOut,
         "the record ids document <recordids><order/><invoice/><quotation/></recordids>"}},
       [](JobSheet& job_sheet, Arguments& args) -> Variant {
         return job_sheet.UpdateLastUsedNumbersInServer(args.Text("i_sLogin"),
                                                        args.Text("i_sDSNString"),
                                                        args.Ref("io_sXML"));
       }},
  };
}

}  // namespace

const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = BuildMethods();
  return methods;
}

const Method* FindMethod(std::string_view name) {
  for (const Method& method : Methods()) {
    if (method.name == name) return &method;
  }
  return nullptr;
}

nlohmann::json ToJson(const Variant& value) {
  switch (value.type()) {
    case automation::VariantType::kEmpty:
    case automation::VariantType::kNull:
      return nullptr;
    case automation::VariantType::kBoolean:
      return value.AsBoolean();
    case automation::VariantType::kInt16:
    case automation::VariantType::kInt32:
      return value.AsInt32();
    case automation::VariantType::kDouble:
      return value.AsDouble();
    case automation::VariantType::kDate:
      return FormatDatePattern(value.AsDate(), "yyyy-mm-dd hh:nn:ss");
    case automation::VariantType::kObject:
      return {{"object", value.AsObject()->ProgId()}};
    case automation::VariantType::kText:
      break;
  }
  return value.AsText();
}

std::string JsonText(const nlohmann::json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json ErrorResponse(std::int32_t number, const std::string& description) {
  return {{"error", {{"number", number}, {"description", description}}}};
}

Arguments BindArguments(const Method& method, const nlohmann::json& request) {
  if (!request.is_object()) {
    throw Error(error_number::kInvalidProcedureCall,
                "The request for " + method.name + " must be a JSON object of parameters");
  }
  std::map<std::string, Variant, std::less<>> values;
  for (const Parameter& parameter : method.parameters) {
    const auto given = request.find(parameter.name);
    if (given == request.end()) {
      if (parameter.direction == Direction::kIn) {
        throw Error(error_number::kInvalidProcedureCall,
                    method.name + " needs the parameter '" + parameter.name + "'");
      }
      values.emplace(parameter.name, Variant());
      continue;
    }
    values.emplace(parameter.name, FromJson(*given, parameter.name));
  }
  for (const auto& [name, value] : request.items()) {
    if (!values.contains(name)) {
      throw Error(error_number::kInvalidProcedureCall,
                  method.name + " has no parameter '" + Excerpt(name) + "'");
    }
  }
  return Arguments(std::move(values));
}

nlohmann::json Invoke(const Method& method, JobSheet& job_sheet, Arguments& arguments) {
  const Variant result = method.call(job_sheet, arguments);
  nlohmann::json response = {
      {"result", method.present_result ? method.present_result(result) : ToJson(result)}};
  for (const Parameter& parameter : method.parameters) {
    if (parameter.direction == Direction::kInOut) {
      response[parameter.name] = ToJson(arguments.Ref(parameter.name));
    }
  }
  return response;
}

nlohmann::json Call(const Method& method, JobSheet& job_sheet, const nlohmann::json& request) {
  Arguments arguments = BindArguments(method, request);
  return Invoke(method, job_sheet, arguments);
}

bool TakesConnectionString(const Method& method) {
  for (const Parameter& parameter : method.parameters) {
    if (parameter.name == kConnectionStringParameter) return true;
  }
  return false;
}

}  // namespace tqs::server::host
