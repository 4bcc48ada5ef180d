#include "broker/status_texts.h"

#include "common/error.h"

namespace tqs::broker {

namespace {

constexpr std::string_view kFirstLabel = "SLKRU0500";
constexpr std::string_view kLastLabel = "SLKRU0517";

Error SlotOutOfRange(std::int64_t slot) {
  return Error(error_number::kSubscriptOutOfRange,
               "Subscript out of range: status text slot " + std::to_string(slot) +
                   " does not exist (the table has slots 0 to " +
                   std::to_string(StatusTexts::kSlotCount - 1) + ")");
}

}  // namespace

const std::string& StatusTexts::operator[](StatusSlot slot) const {
  return slots_[static_cast<int>(slot)];
}

const std::string& StatusTexts::at(int slot) const {
  if (slot < 0 || slot >= kSlotCount) throw SlotOutOfRange(slot);
  return slots_[slot];
}

void StatusTexts::Set(int slot, std::string text) {
  if (slot < 0 || slot >= kSlotCount) throw SlotOutOfRange(slot);
  slots_[slot] = std::move(text);
}

std::string StatusTexts::LabelQuery(std::string_view locale_id) {
  std::string sql = "select LOCALEID, LABEL, TEXT from I18NText where LOCALEID = ";
  sql += locale_id;
  sql += " and LABEL BETWEEN '";
  sql += kFirstLabel;
  sql += "' and '";
  sql += kLastLabel;
  sql += "' ORDER BY LABEL ";
  return sql;
}

void StatusTexts::Load(db::Recordset& labels) {
  const std::int64_t count = labels.RecordCount();
  for (std::int64_t n = 0; n < count; ++n) {
    std::string text = labels.Field("TEXT").AsText();
    if (n >= kSlotCount) throw SlotOutOfRange(n);
    slots_[n] = std::move(text);
    labels.MoveNext();
  }
}

}  // namespace tqs::broker
