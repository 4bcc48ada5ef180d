// Text as characters rather than bytes. All text in the programs is UTF-8; these helpers count,
// cut and check it by character, the way the platform's own text functions (Mid, Left) count,
// so that no cut ever splits a character and leaves bytes that are no text at all.
//
// A "character" is one well-formed UTF-8 sequence. In text that is not well-formed, each byte
// that does not begin a well-formed sequence counts as one character of its own, so invalid
// input is cut predictably and never makes valid input invalid.
//
// All functions are pure and thread-safe.
#ifndef TQS_COMMON_UTF8_H_
#define TQS_COMMON_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tqs {

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// `text` with every byte that does not begin a well-formed sequence replaced by U+FFFD, for
// text from outside (an ERP's error description) that is to be stored or shown.
std::string ReplaceInvalidUtf8(std::string_view text);

// The size of the well-formed sequence that starts at `position` (1 to 4 bytes), or 0 when
// none starts there; `ill_formed`, when given, then receives the length of the maximal
// ill-formed part (at least 1): the bytes that one U+FFFD stands for. `position` < text.size().
std::size_t WellFormedSize(std::string_view text, std::size_t position,
                           std::size_t* ill_formed = nullptr);

// The number of bytes of the character that starts at `position` (1 to 4); 0 at the end.
std::size_t CharacterSize(std::string_view text, std::size_t position);

// The number of characters in `text`.
std::size_t CharacterCount(std::string_view text);

// `length` characters of `text` from the 1-based character position `start`; fewer, or none,
// past its end (start 0 is taken as 1).
std::string_view Mid(std::string_view text, std::size_t start, std::size_t length);

// The first `length` characters of `text` (all of it when shorter).
std::string_view Left(std::string_view text, std::size_t length);

// `text` cut into pieces of `length` characters, the last one holding what is left; no piece
// for empty text. A length of 0 is taken as 1.
std::vector<std::string> CharacterChunks(std::string_view text, std::size_t length);

}  // namespace tqs

#endif  // TQS_COMMON_UTF8_H_
