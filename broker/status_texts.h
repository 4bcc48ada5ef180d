// StatusTexts holds the broker's 61 localised status texts (slots 0 to 60), loaded at start-up
// from the I18NText rows of the labels SLKRU0500 to SLKRU0517 of the default language. The
// table is filled by position: slot n gets the (n+1)-th row in label order, so when every label
// exists slot n holds SLKRU0500 + n, and when one is missing all later texts move down a slot.
// Slots 18 to 60 stay empty; a 62nd row is a subscript error.
//
// A value type; not synchronised.
#ifndef TQS_BROKER_STATUS_TEXTS_H_
#define TQS_BROKER_STATUS_TEXTS_H_

#include <array>
#include <string>
#include <string_view>

#include "platform/db/recordset.h"

namespace tqs::broker {

// What each slot is used for, named by its role (the label shown when all labels exist).
enum class StatusSlot : int {
  kJobSheetRejected = 0,        // SLKRU0500: ERP return value -1 or -2
  kInvalidBusComponent = 1,     // SLKRU0501: first text of the invalid business component line
  kDatabaseOpenFailed = 2,      // SLKRU0502: database open failure line
  kManualProcessing = 4,        // SLKRU0504: shown at start-up in manual mode
  kPassStarted = 5,             // SLKRU0505: opening banner of a pass
  kJobSheetHeading = 7,         // SLKRU0507: job sheet heading, two-part document id
  kGeneralHoursHeading = 8,     // SLKRU0508: general hours line heading
  kDatabaseOpenHint = 9,        // SLKRU0509: database open failure line
  kOfJobSheet = 10,             // SLKRU0510: job sheet heading, three-part document id
  kProcessed = 11,              // SLKRU0511: ERP return value 0
  kNoBusComponent = 12,         // SLKRU0512: invalid business component line
  kForEmployee = 13,            // SLKRU0513: invalid business component line
  kLineErrors = 14,             // SLKRU0514: ERP return value -3
  kPassFinished = 15,           // SLKRU0515: closing banner of a pass
  kActivityHeading = 16,        // SLKRU0516: job sheet heading, three-part document id
  kErpUnspecifiedFailure = 17,  // SLKRU0517: ERP call failed with the generic failure code
};

class StatusTexts {
 public:
  static constexpr int kSlotCount = 61;

  // The text of a slot; empty when nothing was loaded there.
  const std::string& operator[](StatusSlot slot) const;
  // Raises tqs::Error 9 (subscript out of range) outside 0 to 60.
  const std::string& at(int slot) const;
  void Set(int slot, std::string text);

  // The label query of a locale: its rows in label order. The locale id is placed unquoted.
  static std::string LabelQuery(std::string_view locale_id);

  // Fills slot n with field TEXT of the (n+1)-th row of `labels`, for as many rows as the set
  // counts, moving through it. A 62nd row raises error 9 (the slots filled before keep their
  // texts); a null TEXT raises the invalid-use-of-null error.
  void Load(db::Recordset& labels);

 private:
  std::array<std::string, kSlotCount> slots_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_STATUS_TEXTS_H_
