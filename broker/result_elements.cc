#include "broker/result_elements.h"

#include "common/text.h"

namespace tqs::broker {

std::string BuildGenHourProcessResult(std::string_view i_sGHourLineId, std::int32_t i_lGHourResult,
                                      std::string_view i_sGHourError,
                                      std::int32_t i_lGHourNewLineId) {
  std::string element = "<hour lineid='";
  element += EscapeXmlText(i_sGHourLineId);  // an apostrophe in the id must not break the element
  element += "' result='";
  element += std::to_string(i_lGHourResult);
  element += "' error='";
  element += EscapeXmlText(i_sGHourError);
  element += "' new='";
  element += std::to_string(i_lGHourNewLineId);
  element += "' />";
  return element;
}

std::string BuildServiceInspectionProcessResult(std::string_view i_sSIId, std::int32_t i_lSIResult,
                                                std::string_view i_sSIError) {
  std::string element = "<si id='";
  element += EscapeXmlText(i_sSIId);  // an apostrophe in the id must not break the element
  element += "' result='";
  element += std::to_string(i_lSIResult);
  element += "' error='";
  element += EscapeXmlText(i_sSIError);
  element += "' />";
  return element;
}

}  // namespace tqs::broker
