// The /bin/sh script in front of a self-extracting archive. It writes one zip member into the
// current folder with nothing but sh, dd, printf and gzip: dd cuts the member's packed bytes out
// of the file ($0) in 512-byte blocks (the script is padded so the data starts on a block
// boundary) plus one byte-wise tail; a deflated member is wrapped in a gzip header and trailer
// (the zip's CRC-32 and length), so gzip both inflates and verifies it. The member is written
// as NAME.part and renamed to NAME only when it is complete.
//
// Stateless; thread-safe.
#ifndef TQS_PLATFORM_ARCHIVE_INTERNAL_SFX_SCRIPT_H_
#define TQS_PLATFORM_ARCHIVE_INTERNAL_SFX_SCRIPT_H_

#include <string>

#include "platform/archive/internal/zip_layout.h"

namespace tqs::archive::internal {

inline constexpr int kScriptBlockSize = 512;

// The script for `member` of a zip archive that will follow the script directly: padded so
// that the script's length + member.data_offset is a multiple of kScriptBlockSize. Raises
// tqs::Error for a packing method other than stored or deflate.
std::string BuildExtractionScript(const ZipMember& member);

// `text` as one single-quoted shell word ('it'\''s').
std::string ShellQuote(const std::string& text);

}  // namespace tqs::archive::internal

#endif  // TQS_PLATFORM_ARCHIVE_INTERNAL_SFX_SCRIPT_H_
