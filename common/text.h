// The two text helpers every program shares: EscapeXmlText makes a value safe inside XML text
// and single-quoted attributes; QuoteSql makes a value a national-character SQL literal.
#ifndef TQS_COMMON_TEXT_H_
#define TQS_COMMON_TEXT_H_

#include <string>
#include <string_view>

namespace tqs {

// Replaces "&", "'", '"', "<" and ">" by "&amp;", "&apos;", "&quot;", "&lt;", "&gt;", in that
// order (the ampersand first, so the entities it adds are not escaped again).
std::string EscapeXmlText(std::string_view text);

// "N'" + text with every apostrophe doubled + "'": O'Neil gives N'O''Neil'.
std::string QuoteSql(std::string_view text);

// Leading and trailing blanks removed (spaces only, as the platform's Trim).
std::string_view Trim(std::string_view text);

}  // namespace tqs

#endif  // TQS_COMMON_TEXT_H_
