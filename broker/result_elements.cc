#include "broker/result_elements.h"

#include "common/text.h"

namespace tqs::broker {

std::string BuildGenHourProcessResult(std::string_view i_sGHourLineId, std::int32_t i_lGHourResult,
                                      std::string_view i_sGHourError,
                                      std::int32_t i_lGHourNewLineId, std::size_t& replaced) {
  std::string element = "<hour lineid='";
  replaced += AppendEscapedXml(element, i_sGHourLineId);
  element += "' result='";
  element += std::to_string(i_lGHourResult);
  element += "' error='";
  replaced += AppendEscapedXml(element, i_sGHourError);
  element += "' new='";
  element += std::to_string(i_lGHourNewLineId);
  element += "' />";
  return element;
}

std::string BuildServiceInspectionProcessResult(std::string_view i_sSIId, std::int32_t i_lSIResult,
                                                std::string_view i_sSIError,
                                                std::size_t& replaced) {
  std::string element = "<si id='";
  replaced += AppendEscapedXml(element, i_sSIId);
  element += "' result='";
  element += std::to_string(i_lSIResult);
  element += "' error='";
  replaced += AppendEscapedXml(element, i_sSIError);
  element += "' />";
  return element;
}

}  // namespace tqs::broker
