#include "admin/erp_check/erp_check_command.h"

#include <exception>

#include "admin/erp_check/erp_check.h"
#include "common/error.h"
#include "platform/automation/component_registry.h"

namespace tqs::admin::erp_check {

ErpCheckCommand::ErpCheckCommand(CLI::App& erp)
    : check_(erp.add_subcommand(
          "check",
          "Check that the ERP components a registry file names answer every operation as the "
          "programs need (the ERP must hold the conformance data set)")) {
  check_
      ->add_option("--components", components_file_,
                   "The component registry file, as TQSRemoteComponents.xml")
      ->required();
  check_->add_flag("--allow-bookings", allow_bookings_,
                   "Also run the scenarios that book test documents into the ERP (job sheets, "
                   "an hours line, a service inspection, an assignment action)");
}

bool ErpCheckCommand::Named() const { return check_->parsed(); }

int ErpCheckCommand::Run(std::ostream& out, std::ostream& err) const {
  automation::ComponentRegistry components;
  try {
    components.LoadFile(components_file_);
  } catch (const Error& error) {
    err << "TQSRemoteAdmin: the components file " << components_file_.string()
        << " cannot be loaded: " << error.description() << " (error " << error.number() << ")\n";
    return kExitBadArguments;
  }
  bool failed = false;
  try {
    RunErpCheck(components, {.allow_bookings = allow_bookings_},
                [&](const ScenarioOutcome& outcome) {
                  failed = failed || outcome.verdict == Verdict::kFail;
                  out << FormatOutcome(outcome) << std::endl;
                });
  } catch (const Error& error) {
    err << "TQSRemoteAdmin: the check could not run: " << error.description() << " (error "
        << error.number() << ")\n";
    return 1;
  } catch (const std::exception& error) {
    err << "TQSRemoteAdmin: the check could not run: " << error.what() << "\n";
    return 1;
  }
  return failed ? 1 : 0;
}

}  // namespace tqs::admin::erp_check
