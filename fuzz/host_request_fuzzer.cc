// Fuzzes the hosts' JSON path: the input's first line names a method, the rest is its JSON
// request, answered by the method table that the command-line and HTTP hosts share, against an
// SQLite server database and an ERP that accepts every call. Whatever the request holds, the
// answer is JSON text that is valid UTF-8, and every document it hands back (upload feedback,
// process results, job sheets, record ids) is well-formed.
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "common/erp/assignments.h"
#include "common/erp/job_sheets.h"
#include "common/error.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/xml_check.h"
#include "server/host/method_table.h"
#include "server/jobsheet.h"

namespace {

namespace host = tqs::server::host;

struct Host {
  Host() {
    database.Execute(
        "INSERT INTO USERDEFAULTS (LOGN, EMNO, BUSCOMPONENT, LASTJSID) "
        "VALUES ('jdoe', '1001', 'BC01', 12)");
    for (std::string_view prefix :
         {tqs::erp::job_sheets::kPrefix, tqs::erp::assignments::kPrefix}) {
      components.Register(std::string(prefix), tqs::fuzz::AcceptingComponents());
    }
  }

  tqs::fuzz::ScratchServerDatabase database;
  tqs::automation::ComponentRegistry components;
};

// The documents a successful answer may carry, by parameter name.
constexpr const char* kDocumentOutputs[] = {"o_vResult", "o_vJobSheets", "io_sXML"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Destroyed at exit, which removes its folder.
  static const auto state = std::make_unique<Host>();
  const std::string input = tqs::fuzz::AsText(data, size);
  const std::size_t line_end = input.find('\n');
  if (line_end == std::string::npos) return 0;
  const host::Method* method = host::FindMethod(input.substr(0, line_end));
  if (method == nullptr) return 0;
  nlohmann::json request = nlohmann::json::parse(input.substr(line_end + 1), nullptr, false);
  if (request.is_discarded()) return 0;
  // Every request meets the scratch database, never a file the input names.
  if (request.is_object() && host::TakesConnectionString(*method)) {
    request["i_sDSNString"] = state->database.dsn();
  }

  tqs::server::JobSheet job_sheet(state->components);
  nlohmann::json answer;
  try {
    answer = host::Call(*method, job_sheet, request);
  } catch (const tqs::Error& error) {
    answer = host::ErrorResponse(error.number(), error.description());
  }
  const std::string text = host::JsonText(answer);
  tqs::fuzz::RequireUtf8(text, "answer");
  if (!answer.contains("error") && answer.value("result", nlohmann::json()) != false) {
    for (const char* name : kDocumentOutputs) {
      const auto found = answer.find(name);
      if (found == answer.end() || !found->is_string()) continue;
      const std::string document = found->get<std::string>();
      // An untouched out-parameter comes back as the request gave it.
      if (request.is_object() && request.value(name, nlohmann::json()) == *found) continue;
      if (!document.empty()) tqs::fuzz::RequireWellFormed(document);
    }
  }
  state->database.Execute("DELETE FROM CLIENTSERVERINTERACTION");
  return 0;
}
