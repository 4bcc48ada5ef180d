// A CheckInstallation is a throw-away installation in which `TQSRemoteAdmin erp check` lets the
// programs' own code meet the ERP under test: a temporary folder laid out by the installer
// (configuration chain, SQLite server database, its installation id), one laptop user, the
// JobSheet class for downloads, uploads and assignments, and the broker for processing passes.
// The ERP components come from the registry the check was given; the reference ERP that the
// installer would lay out is never used. Everything is removed with the object.
//
// Uploaded documents are read back as the broker left their rows. A document may be put back
// in doubt (pending, its attempt open, as after a broker killed while the ERP answered) so that
// the next pass offers it to the ERP again under the same idempotency key.
//
// Not thread-safe; one check at a time per object.
#ifndef TQS_ADMIN_ERP_CHECK_CHECK_INSTALLATION_H_
#define TQS_ADMIN_ERP_CHECK_CHECK_INSTALLATION_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/automation/component_registry.h"

namespace tqs::admin::erp_check {

// An uploaded document as its row stands.
struct UploadedDocument {
  std::int64_t key = 0;       // INTERACTIONKEY
  int type = 0;               // BUSINESSDOCUMENTTYPE: 5, 10 or 15
  std::string document_id;    // BUSINESSDOCUMENTID
  std::optional<int> status;  // INTERACTIONSTATUS: 5 pending, 10 processed, 15 failed
  std::string result;         // INTERACTIONRESULT, "" when none
  bool attempt_open = false;  // ATTEMPTOPEN: the document is in doubt
  std::string last_error;     // LASTERROR
};

// What a download answered.
struct DownloadAnswer {
  bool succeeded = false;
  std::string job_sheets;     // the job sheets response on success
  std::string error_details;  // the reason otherwise
};

class CheckInstallation {
 public:
  // Lays out the installation in a new folder under the system's temporary folder and adds the
  // login `login` for `employee` with the ERP business component `bus_component`. Raises
  // tqs::Error when it cannot.
  CheckInstallation(std::string login, std::string employee, std::string bus_component);
  ~CheckInstallation();
  CheckInstallation(const CheckInstallation&) = delete;
  CheckInstallation& operator=(const CheckInstallation&) = delete;

  // JobSheet::getJobSheets for the login with the laptop's request `request`.
  DownloadAnswer Download(const automation::ComponentRegistry& components,
                          std::string_view request) const;

  // JobSheet::StoreOutboxContent of `outbox` for the employee; raises tqs::Error when the
  // upload fails or stores no document.
  void Upload(const automation::ComponentRegistry& components, std::string_view outbox) const;

  // One broker pass (as `TQSRemoteBroker --once`) over the pending documents; the pass's
  // status box text is returned for a failure's reason.
  std::string RunBrokerPass(const automation::ComponentRegistry& components) const;

  // Every uploaded document, in upload order.
  std::vector<UploadedDocument> Documents() const;

  // The last entry of the broker's error log ("" when there is none), for a failure's reason.
  std::string LastLoggedError() const;

  // Puts the document of `key` back in doubt: pending, attempt open, no result.
  void PutInDoubt(std::int64_t key) const;

  // JobSheet::updateAssignments for the login; false with the reason in `error`.
  bool UpdateAssignments(const automation::ComponentRegistry& components,
                         const pugi::xml_document& assignments, std::string& error) const;

 private:
  // Fixed at construction.
  const std::filesystem::path root_;
  const std::string login_;
  const std::string employee_;
  const std::string dsn_;
};

}  // namespace tqs::admin::erp_check

#endif  // TQS_ADMIN_ERP_CHECK_CHECK_INSTALLATION_H_
