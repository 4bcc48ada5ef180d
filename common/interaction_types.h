// The codes that the server component and the broker share through CLIENTSERVERINTERACTION: the
// business document type of a row, its interaction name (what kind of job sheet, hours line or
// inspection it is) and its interaction status (waiting, processed, failed). The numbers are
// stored in the database and known to the laptops; they never change.
#ifndef TQS_COMMON_INTERACTION_TYPES_H_
#define TQS_COMMON_INTERACTION_TYPES_H_

#include <cstdint>

namespace tqs {

enum class BusinessDocumentType : std::int32_t {
  kJobSheet = 5,            // uploaded under "jobsheets"
  kGeneralHourLine = 10,    // uploaded under "generalhours"
  kServiceInspection = 15,  // uploaded under "SERVICEINSPECTIONS"
};

enum class InteractionName : std::int32_t {
  kJobSheetUnrecognised = 0,       // performed actions none of the recognised ones
  kServiceOrderRdp = 10,           // service-order level, "RDP", "RDP,MD", "MD,RDP"
  kActivityRdp = 15,               // activity level, "RDP", "RDP,MD", "MD,RDP"
  kServiceOrderRdc = 20,           // service-order level, "RDC", "RDC,MD", "MD,RDC"
  kActivityRdc = 25,               // activity level, "RDC", "RDC,MD", "MD,RDC"
  kGeneralHourLine = 30,
  kServiceInspection = 35,
};

// A row moves from kPending to kProcessed, kFailed or null (a return value the broker does not
// recognise), once.
enum class InteractionStatus : std::int16_t {
  kPending = 5,
  kProcessed = 10,
  kFailed = 15,
};

constexpr std::int32_t ToNumber(BusinessDocumentType value) {
  return static_cast<std::int32_t>(value);
}
constexpr std::int32_t ToNumber(InteractionName value) { return static_cast<std::int32_t>(value); }
constexpr std::int16_t ToNumber(InteractionStatus value) {
  return static_cast<std::int16_t>(value);
}

// The PARAMETERS row holding the installation's identity: a random text made once when the
// server database is created or brought up to date. With a row's INTERACTIONKEY it makes the
// idempotency key under which the broker hands the row's document to the ERP.
inline constexpr const char* kInstallationIdParameter = "InstallationId";

}  // namespace tqs

#endif  // TQS_COMMON_INTERACTION_TYPES_H_
