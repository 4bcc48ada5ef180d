// The text helpers every program shares: EscapeXmlText makes a value safe inside XML text and
// single-quoted attributes; QuoteSql makes a value a national-character SQL literal; Excerpt
// bounds a caller's value quoted in an error description.
//
// Every document the programs write is well-formed XML 1.0 in UTF-8, whatever the values hold:
// the escaping functions never emit a character XML 1.0 forbids. C0 controls other than tab,
// line feed and carriage return, U+FFFE and U+FFFF, and every byte sequence that is not UTF-8
// (overlong forms, encoded surrogates, code points above U+10FFFF, a sequence cut short) are
// written as U+FFFD. An invalid sequence is replaced by one U+FFFD per maximal ill-formed
// subpart, as the Unicode standard recommends and the WHATWG decoder does: "\xC3" at the end
// gives one, the encoded surrogate "\xED\xA0\x80" three.
//
// Pure functions; thread-safe.
#ifndef TQS_COMMON_TEXT_H_
#define TQS_COMMON_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace tqs {

// The replacement character U+FFFD in UTF-8.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Replaces "&", "'", '"', "<" and ">" by "&amp;", "&apos;", "&quot;", "&lt;", "&gt;", in that
// order (the ampersand first, so the entities it adds are not escaped again), and writes every
// character XML cannot carry as U+FFFD.
std::string EscapeXmlText(std::string_view text);

// As EscapeXmlText, appending to `out`. Returns how many U+FFFD it wrote in place of
// characters XML cannot carry (0 for every valid text), so a writer can report the repair.
std::size_t AppendEscapedXml(std::string& out, std::string_view text);

// Appends `text` with the markup characters left as they are (for text that is already
// markup) but every character XML cannot carry written as U+FFFD; returns how many.
std::size_t AppendXmlCharacters(std::string& out, std::string_view text);

// "N'" + text with every apostrophe doubled + "'": O'Neil gives N'O''Neil'.
std::string QuoteSql(std::string_view text);

// How many bytes of a caller's value an error description quotes at most.
inline constexpr std::size_t kExcerptBytes = 200;

// `text` as an error description quotes it: whole when it has at most `limit` bytes, otherwise
// its first characters up to `limit` bytes (never a part of a UTF-8 sequence) followed by
// "... (N bytes)" with the whole value's size. A 10 MiB parameter refused by a method thus
// gives an answer of a few hundred bytes, and a short one reads as before.
std::string Excerpt(std::string_view text, std::size_t limit = kExcerptBytes);

// Leading and trailing blanks removed (spaces only, as the platform's Trim).
std::string_view Trim(std::string_view text);

// `text` with the ASCII letters A-Z in lower (a-z) or upper case; other bytes as they are. This
// is the folding of the names the programs compare ignoring case (commands, transfer types,
// file names as ResolveWindowsPath matches them).
std::string AsciiLowerCase(std::string_view text);
std::string AsciiUpperCase(std::string_view text);

}  // namespace tqs

#endif  // TQS_COMMON_TEXT_H_
