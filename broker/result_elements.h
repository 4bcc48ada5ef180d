// The result elements the broker stores in INTERACTIONRESULT for the documents that carry one
// line each, and that the laptop collects with its next synchronisation:
//
//   general hours line:  <hour lineid='L' result='R' error='E' new='N' />
//   service inspection:  <si id='I' result='R' error='E' />
//
// They follow the writing rules of all broker result documents (broker/result_writing.h): one
// empty element and nothing else (no declaration, no line break), attribute values in single
// quotes, a blank before "/>", the ids and the error text escaped with EscapeXmlText. The
// result codes inside the elements are the ERP's (for hours lines 5 accepted, 10 rejected), not
// the row's interaction status. Each adds to `replaced` the characters of the id and error
// that XML cannot carry and that it wrote as U+FFFD.
//
// Pure functions; thread-safe.
#ifndef TQS_BROKER_RESULT_ELEMENTS_H_
#define TQS_BROKER_RESULT_ELEMENTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tqs::broker {

// The result codes the hour element reports.
inline constexpr std::int32_t kHourLineAccepted = 5;
inline constexpr std::int32_t kHourLineRejected = 10;

// The hour element of a general hours line.
std::string BuildGenHourProcessResult(std::string_view i_sGHourLineId, std::int32_t i_lGHourResult,
                                      std::string_view i_sGHourError,
                                      std::int32_t i_lGHourNewLineId, std::size_t& replaced);

// The si element of a service inspection.
std::string BuildServiceInspectionProcessResult(std::string_view i_sSIId, std::int32_t i_lSIResult,
                                                std::string_view i_sSIError, std::size_t& replaced);

}  // namespace tqs::broker

#endif  // TQS_BROKER_RESULT_ELEMENTS_H_
