#include "platform/archive/internal/sfx_script.h"

#include <cstdio>

#include "common/error.h"

namespace tqs::archive::internal {
namespace {

// printf escapes (octal, as POSIX printf reads them) for the bytes of `value`, least
// significant first: the byte order of the gzip trailer.
std::string LittleEndianEscapes(std::uint32_t value) {
  std::string escapes;
  for (int i = 0; i < 4; ++i) {
    char octal[8];
    std::snprintf(octal, sizeof octal, "\\%03o", (value >> (8 * i)) & 0xFFu);
    escapes += octal;
  }
  return escapes;
}

// The commands that write the packed bytes, which start at the block boundary `start` of the
// file, to standard output.
std::string CutCommands(std::uint64_t start, std::uint32_t size) {
  const std::uint64_t blocks = size / kScriptBlockSize;
  const std::uint64_t rest = size % kScriptBlockSize;
  std::string commands = "  dd if=\"$0\" bs=" + std::to_string(kScriptBlockSize) +
                         " skip=" + std::to_string(start / kScriptBlockSize) +
                         " count=" + std::to_string(blocks) + " 2>/dev/null\n";
  if (rest != 0) {
    commands += "  dd if=\"$0\" bs=1 skip=" + std::to_string(start + blocks * kScriptBlockSize) +
                " count=" + std::to_string(rest) + " 2>/dev/null\n";
  }
  return commands;
}

std::string Script(const ZipMember& member, std::uint64_t data_start) {
  std::string script =
      "#!/bin/sh\n"
      "# Self-extracting archive of " +
      member.name +
      ".\n"
      "# Running it (sh thisfile) writes " +
      member.name +
      " into the current folder.\n"
      "# The rest of the file is a zip archive: unzip or bsdtar open it as well.\n"
      "name=" +
      ShellQuote(member.name) + "\n";
  if (member.method == kMethodDeflate) {
    // A gzip member: header (deflate, no name, no time), the raw deflate data, then CRC-32 and
    // length, which gzip checks.
    script += "{\n  printf '\\037\\213\\010\\000\\000\\000\\000\\000\\000\\377'\n" +
              CutCommands(data_start, member.compressed_size) + "  printf '" +
              LittleEndianEscapes(member.crc32) + LittleEndianEscapes(member.uncompressed_size) +
              "'\n} | gzip -dc >\"$name.part\" &&\n";
  } else {
    script += "{\n" + CutCommands(data_start, member.compressed_size) + "} >\"$name.part\" &&\n" +
              "  [ \"$(wc -c <\"$name.part\")\" -eq " + std::to_string(member.uncompressed_size) +
              " ] &&\n";
  }
  script +=
      "  mv -f \"$name.part\" \"$name\" && exit 0\n"
      "rm -f \"$name.part\"\n"
      "echo \"$0: could not unpack $name\" >&2\n"
      "exit 1\n";
  return script;
}

}  // namespace

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string BuildExtractionScript(const ZipMember& member) {
  if (member.method != kMethodStored && member.method != kMethodDeflate) {
    throw Error(error_number::kGenericFailure,
                "The zip member '" + member.name + "' is packed with method " +
                    std::to_string(member.method) + "; only stored and deflate can be unpacked");
  }
  if (member.name.find_first_of("/\n") != std::string::npos) {
    throw Error(error_number::kGenericFailure,
                "The zip member '" + member.name + "' is not a plain file name");
  }
  // The script's length decides where the data starts, and the data's start is written into
  // the script: grow the padded length by blocks until the script fits in front of its data.
  std::uint64_t header = 0;
  for (;;) {
    const std::uint64_t data_start = header + member.data_offset;
    const std::uint64_t aligned =
        (data_start + kScriptBlockSize - 1) / kScriptBlockSize * kScriptBlockSize;
    header = aligned - member.data_offset;
    std::string script = Script(member, aligned);
    if (script.size() <= header) {
      script.append(header - script.size(), '\n');
      return script;
    }
    header += kScriptBlockSize;
  }
}

}  // namespace tqs::archive::internal
