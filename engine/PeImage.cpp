// PE headers, section table, certificate table and the resource tree down to the version
// record, read with bounds checks at every step.
#include "engine/PeImage.h"

#include <tuple>
#include <utility>
#include <vector>

namespace velmora {
namespace {

constexpr uint16_t kFileExecutable = 0x0002;
constexpr uint16_t kFileDll = 0x2000;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint64_t kSizeOfHeadersAt = 60;  // in the optional header, both kinds
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::u16string_view kVersionKey = u"VS_VERSION_INFO";

class TReader {
 public:
  explicit TReader(std::string_view bytes) : FBytes(bytes) {}

  bool Has(uint64_t offset, uint64_t size) const {
    return offset <= FBytes.size() && size <= FBytes.size() - offset;
  }
  uint16_t U16(uint64_t offset) const {
    return static_cast<uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
  }
  uint32_t U32(uint64_t offset) const {
    return static_cast<uint32_t>(U16(offset)) | static_cast<uint32_t>(U16(offset + 2)) << 16;
  }

 private:
  uint32_t Byte(uint64_t offset) const { return static_cast<unsigned char>(FBytes[offset]); }
  std::string_view FBytes;
};

struct TSection {
  uint32_t VirtualAddress;
  uint32_t RawSize;
  uint32_t RawOffset;
};

// What the headers say about the bytes as a whole.
enum class TShape { Whole, Cut, NotExecutable };

class TImage {
 public:
  explicit TImage(std::string_view bytes) : FRead(bytes) {}

  // Reads the headers and section table into info; the version only of a whole image.
  TShape Read(TPeImageInfo& info) {
    if (!FRead.Has(0, 2) || FRead.U16(0) != 0x5A4D)  // "MZ"
      return TShape::NotExecutable;
    if (!FRead.Has(0, 0x40))
      return TShape::Cut;
    uint64_t nt = FRead.U32(0x3C);
    if (!FRead.Has(nt, 24))
      return TShape::Cut;
    if (FRead.U32(nt) != 0x00004550)  // "PE\0\0"
      return TShape::NotExecutable;
    info.Machine = FRead.U16(nt + 4);
    uint16_t sectionCount = FRead.U16(nt + 6);
    uint16_t optionalSize = FRead.U16(nt + 20);
    uint16_t characteristics = FRead.U16(nt + 22);
    if (!(characteristics & kFileExecutable) || (characteristics & kFileDll))
      return TShape::NotExecutable;
    uint64_t optional = nt + 24;
    if (optionalSize < 2)
      return TShape::NotExecutable;
    if (!FRead.Has(optional, optionalSize))
      return TShape::Cut;
    uint16_t magic = FRead.U16(optional);
    uint64_t countAt = magic == kMagicPe32 ? 92 : magic == kMagicPe32Plus ? 108 : 0;
    if (countAt == 0 || optionalSize < countAt + 4)
      return TShape::NotExecutable;
    uint64_t sections = optional + optionalSize;
    if (!FRead.Has(sections, uint64_t{sectionCount} * 40) ||
        !FRead.Has(0, FRead.U32(optional + kSizeOfHeadersAt)))
      return TShape::Cut;
    for (uint16_t i = 0; i < sectionCount; ++i) {
      uint64_t at = sections + uint64_t{i} * 40;
      TSection section{FRead.U32(at + 12), FRead.U32(at + 16), FRead.U32(at + 20)};
      // The loader maps every section's raw data from the file: a section that runs past the
      // end makes the program fail to start.
      if (section.RawSize != 0 && !FRead.Has(section.RawOffset, section.RawSize))
        return TShape::Cut;
      FSections.push_back(section);
    }
    auto directory = [&](uint32_t index) -> std::optional<std::pair<uint32_t, uint32_t>> {
      uint64_t at = optional + countAt + 4 + uint64_t{index} * 8;
      if (FRead.U32(optional + countAt) <= index || at + 8 > optional + optionalSize)
        return std::nullopt;
      return std::pair{FRead.U32(at), FRead.U32(at + 4)};
    };
    // A signature's certificate table lies after the sections, named by its file offset.
    if (auto table = directory(kSecurityDirectory);
        table && table->second != 0 && !FRead.Has(table->first, table->second))
      return TShape::Cut;
    if (auto resources = directory(kResourceDirectory))
      info.Version = VersionRecord(resources->first, resources->second);
    return TShape::Whole;
  }

 private:
  // The file offset of size bytes at a relative virtual address, when one section holds them.
  std::optional<uint64_t> Offset(uint32_t rva, uint64_t size) const {
    for (const TSection& s : FSections) {
      if (rva >= s.VirtualAddress && uint64_t{rva} - s.VirtualAddress + size <= s.RawSize) {
        uint64_t offset = uint64_t{s.RawOffset} + (rva - s.VirtualAddress);
        if (FRead.Has(offset, size))
          return offset;
      }
    }
    return std::nullopt;
  }

  // The entry of a resource directory (at offset dir inside the tree) whose id is wanted, or
  // its first entry when any id will do; returns its target field.
  std::optional<uint32_t> Entry(uint64_t tree, uint64_t treeSize, uint32_t dir,
                                std::optional<uint32_t> wanted) const {
    if (uint64_t{dir} + 16 > treeSize)
      return std::nullopt;
    uint32_t count = uint32_t{FRead.U16(tree + dir + 12)} + FRead.U16(tree + dir + 14);
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t entry = uint64_t{dir} + 16 + uint64_t{i} * 8;
      if (entry + 8 > treeSize)
        return std::nullopt;
      uint32_t name = FRead.U32(tree + entry);
      if (!wanted || name == *wanted)
        return FRead.U32(tree + entry + 4);
    }
    return std::nullopt;
  }

  std::optional<TExeVersion> VersionRecord(uint32_t rva, uint32_t size) const {
    std::optional<uint64_t> tree = Offset(rva, size);
    if (!tree || size == 0)
      return std::nullopt;
    // Type, then any name, then any language: three levels down to the data entry.
    std::optional<uint32_t> type = Entry(*tree, size, 0, kResourceTypeVersion);
    if (!type || !(*type & kSubdirectoryBit))
      return std::nullopt;
    std::optional<uint32_t> name = Entry(*tree, size, *type & ~kSubdirectoryBit, std::nullopt);
    if (!name || !(*name & kSubdirectoryBit))
      return std::nullopt;
    std::optional<uint32_t> language = Entry(*tree, size, *name & ~kSubdirectoryBit, std::nullopt);
    if (!language || (*language & kSubdirectoryBit) || uint64_t{*language} + 16 > size)
      return std::nullopt;
    uint32_t dataRva = FRead.U32(*tree + *language);
    uint32_t dataSize = FRead.U32(*tree + *language + 4);
    return FixedInfo(dataRva, dataSize);
  }

  // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO", padding to four
  // bytes, then the fixed record with its signature.
  std::optional<TExeVersion> FixedInfo(uint32_t rva, uint32_t size) const {
    constexpr uint64_t kKeyAt = 6;
    constexpr uint64_t kFixedAt = (kKeyAt + (kVersionKey.size() + 1) * 2 + 3) & ~uint64_t{3};
    constexpr uint64_t kFixedSize = 52;
    std::optional<uint64_t> at = Offset(rva, kFixedAt + kFixedSize);
    if (!at || size < kFixedAt + kFixedSize || FRead.U16(*at + 2) < kFixedSize)
      return std::nullopt;
    for (size_t i = 0; i <= kVersionKey.size(); ++i) {
      char16_t expected = i < kVersionKey.size() ? kVersionKey[i] : u'\0';
      if (FRead.U16(*at + kKeyAt + i * 2) != expected)
        return std::nullopt;
    }
    uint64_t fixed = *at + kFixedAt;
    if (FRead.U32(fixed) != kFixedInfoSignature)
      return std::nullopt;
    return MakeExeVersion(FRead.U32(fixed + 8), FRead.U32(fixed + 12));
  }

  TReader FRead;
  std::vector<TSection> FSections;
};

}  // namespace

std::optional<TPeImageInfo> ReadPeImage(std::string_view bytes) {
  TPeImageInfo info;
  if (TImage(bytes).Read(info) != TShape::Whole)
    return std::nullopt;
  return info;
}

bool IsCutPeImage(std::string_view bytes) {
  TPeImageInfo info;
  return TImage(bytes).Read(info) == TShape::Cut;
}

bool IsNewerVersion(const TExeVersion& a, const TExeVersion& b) {
  return std::tie(a.Major, a.Minor, a.Release, a.Build) >
         std::tie(b.Major, b.Minor, b.Release, b.Build);
}

}  // namespace velmora
