// The public methods of JobSheet as a table that hosts serve by name: each method's parameters
// (name, direction, meaning) and a call that takes a JSON object keyed by parameter name and
// answers a JSON object with "result" and every in/out parameter under its own name, or
// "error": {"number", "description"} when the method raises. The command-line host and the HTTP
// host share it, so both speak the same requests and responses.
#ifndef TQS_SERVER_HOST_METHOD_TABLE_H_
#define TQS_SERVER_HOST_METHOD_TABLE_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "server/jobsheet.h"

namespace tqs::server::host {

enum class Direction { kIn, kInOut };

// Object parameters travel as text: an XML document (i_oAssignments) as its markup, an ERP input
// object (i_oInputAssignement) as nothing at all: the host creates it.

struct Parameter {
  std::string name;
  Direction direction;
  std::string meaning;
};

// The values of one call, by parameter name, checked against the method's parameters.
class Arguments {
 public:
  explicit Arguments(std::map<std::string, automation::Variant, std::less<>> values)
      : values_(std::move(values)) {}

  std::string Text(std::string_view name) const;
  automation::Variant& Ref(std::string_view name);
  // The parameter's text parsed as an XML document; text that is not well-formed is refused.
  const pugi::xml_document& Document(std::string_view name);
  // Whether Document refused a parameter: the error the call then raises is the request's
  // fault, not the method's.
  bool refused_a_parameter() const { return refused_a_parameter_; }

 private:
  std::map<std::string, automation::Variant, std::less<>> values_;
  std::vector<std::unique_ptr<pugi::xml_document>> documents_;
  bool refused_a_parameter_ = false;
};

struct Method {
  std::string name;
  std::string summary;
  std::vector<Parameter> parameters;
  std::function<automation::Variant(JobSheet&, Arguments&)> call;
  // How the result is answered; by default ToJson.
  std::function<nlohmann::json(const automation::Variant&)> present_result;
};

// The methods in interface order.
const std::vector<Method>& Methods();

// The method named `name`; nullptr when there is none.
const Method* FindMethod(std::string_view name);

// The arguments of `request` for `method`. A request that is not an object, lacks an
// in-parameter or names an unknown parameter raises tqs::Error naming it. Out-parameters that
// the request gives are passed in as their initial values.
Arguments BindArguments(const Method& method, const nlohmann::json& request);

// Calls the method; the answer holds "result" and every in/out parameter. A method that raises
// passes its tqs::Error on.
nlohmann::json Invoke(const Method& method, JobSheet& job_sheet, Arguments& arguments);

// BindArguments followed by Invoke.
nlohmann::json Call(const Method& method, JobSheet& job_sheet, const nlohmann::json& request);

// Whether `method` takes the server database connection string (i_sDSNString).
bool TakesConnectionString(const Method& method);

// The answer for an error raised by a call.
nlohmann::json ErrorResponse(std::int32_t number, const std::string& description);

// `value` as JSON text (indented by `indent` blanks, on one line when -1). Text that is not
// valid UTF-8 (a stored result cut apart by an older broker, an ERP text) is written with
// U+FFFD in place of each invalid sequence instead of failing the whole answer.
std::string JsonText(const nlohmann::json& value, int indent = -1);

// A value as JSON: text as a string, numbers and Booleans as such, empty and null as null, an
// object as {"object": its programmatic identifier}.
nlohmann::json ToJson(const automation::Variant& value);

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_METHOD_TABLE_H_
