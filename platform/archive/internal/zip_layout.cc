#include "platform/archive/internal/zip_layout.h"

#include <algorithm>
#include <fstream>
#include <limits>

#include "common/error.h"

namespace tqs::archive::internal {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndRecordSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxCommentSize = 0xFFFF;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;

Error LayoutError(const std::filesystem::path& zip, const std::string& what) {
  return Error(error_number::kGenericFailure,
               "The zip archive '" + zip.string() + "' cannot be made self-extracting: " + what);
}

std::uint16_t Get16(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t Get32(const std::string& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(Get16(bytes, at)) |
         static_cast<std::uint32_t>(Get16(bytes, at + 2)) << 16;
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string ReadAt(std::ifstream& in, const std::filesystem::path& zip, std::uint64_t offset,
                   std::size_t size) {
  std::string bytes(size, '\0');
  in.clear();
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(bytes.data(), static_cast<std::streamsize>(size));
  if (static_cast<std::size_t>(in.gcount()) != size) {
    throw LayoutError(zip, "it ends before offset " + std::to_string(offset + size));
  }
  return bytes;
}

// Offset of the end record: the last signature in the tail that a whole record (with its
// comment) fits behind.
std::size_t FindEndRecord(const std::string& tail) {
  if (tail.size() < kEndRecordSize) return std::string::npos;
  for (std::size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    if (Get32(tail, at) == kEndRecordSignature &&
        at + kEndRecordSize + Get16(tail, at + 20) == tail.size()) {
      return at;
    }
  }
  return std::string::npos;
}

}  // namespace

ZipLayout ReadZipLayout(const std::filesystem::path& zip) {
  std::ifstream in(zip, std::ios::binary);
  if (!in) throw LayoutError(zip, "it cannot be opened");
  in.seekg(0, std::ios::end);
  const auto file_size = static_cast<std::uint64_t>(in.tellg());
  if (file_size >= kZip64Marker) throw LayoutError(zip, "it is larger than 4 GB");

  const std::size_t tail_size = static_cast<std::size_t>(
      std::min<std::uint64_t>(file_size, kEndRecordSize + kMaxCommentSize));
  const std::string tail = ReadAt(in, zip, file_size - tail_size, tail_size);
  const std::size_t end_at = FindEndRecord(tail);
  if (end_at == std::string::npos) throw LayoutError(zip, "it has no end of central directory");
  if (end_at >= kZip64LocatorSize &&
      Get32(tail, end_at - kZip64LocatorSize) == kZip64LocatorSignature) {
    throw LayoutError(zip, "it holds Zip64 records (members or archive above 4 GB)");
  }
  if (Get16(tail, end_at + 4) != 0 || Get16(tail, end_at + 6) != 0) {
    throw LayoutError(zip, "it spans several volumes");
  }
  const std::uint16_t entries = Get16(tail, end_at + 10);

  ZipLayout layout;
  layout.central_directory_offset = Get32(tail, end_at + 16);
  const std::uint64_t end_offset = file_size - tail_size + end_at;
  if (layout.central_directory_offset > end_offset) {
    throw LayoutError(zip, "its central directory offset points past the end record");
  }
  layout.directory = ReadAt(in, zip, layout.central_directory_offset,
                            static_cast<std::size_t>(file_size - layout.central_directory_offset));

  std::size_t at = 0;
  for (std::uint16_t i = 0; i < entries; ++i) {
    if (at + kCentralHeaderSize > layout.directory.size() ||
        Get32(layout.directory, at) != kCentralHeaderSignature) {
      throw LayoutError(zip, "central directory entry " + std::to_string(i) + " is damaged");
    }
    ZipMember member;
    member.method = Get16(layout.directory, at + 10);
    member.crc32 = Get32(layout.directory, at + 16);
    member.compressed_size = Get32(layout.directory, at + 20);
    member.uncompressed_size = Get32(layout.directory, at + 24);
    const std::uint16_t name_size = Get16(layout.directory, at + 28);
    const std::uint16_t extra_size = Get16(layout.directory, at + 30);
    const std::uint16_t comment_size = Get16(layout.directory, at + 32);
    const std::uint32_t local_offset = Get32(layout.directory, at + 42);
    member.name = layout.directory.substr(at + kCentralHeaderSize, name_size);
    if (member.compressed_size == kZip64Marker || member.uncompressed_size == kZip64Marker ||
        local_offset == kZip64Marker) {
      throw LayoutError(zip, "member '" + member.name + "' uses Zip64 sizes");
    }
    const std::string local = ReadAt(in, zip, local_offset, kLocalHeaderSize);
    if (Get32(local, 0) != kLocalHeaderSignature) {
      throw LayoutError(zip, "the local header of member '" + member.name + "' is missing");
    }
    member.data_offset = local_offset + static_cast<std::uint32_t>(kLocalHeaderSize) +
                         Get16(local, 26) + Get16(local, 28);
    layout.members.push_back(std::move(member));
    at += kCentralHeaderSize + name_size + extra_size + comment_size;
  }
  return layout;
}

std::string RelocatedDirectory(const ZipLayout& layout, std::uint32_t shift) {
  std::string directory = layout.directory;
  auto moved = [shift](std::uint32_t offset) {
    if (static_cast<std::uint64_t>(offset) + shift >= kZip64Marker) {
      throw Error(error_number::kGenericFailure,
                  "The self-extracting archive would be larger than 4 GB");
    }
    return offset + shift;
  };
  std::size_t at = 0;
  for (std::size_t i = 0; i < layout.members.size(); ++i) {
    Put32(directory, at + 42, moved(Get32(directory, at + 42)));
    at += kCentralHeaderSize + Get16(directory, at + 28) + Get16(directory, at + 30) +
          Get16(directory, at + 32);
  }
  // The end record follows the entries directly (no Zip64 records, checked when reading).
  if (at + kEndRecordSize > directory.size() || Get32(directory, at) != kEndRecordSignature) {
    throw Error(error_number::kGenericFailure,
                "The zip directory holds records between its entries and its end record");
  }
  Put32(directory, at + 16, moved(layout.central_directory_offset));
  return directory;
}

}  // namespace tqs::archive::internal
