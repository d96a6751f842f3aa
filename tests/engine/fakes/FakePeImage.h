// Builds the bytes of a small Windows executable for the update checks: DOS and PE headers,
// one ".rsrc" section with a version record in it, optionally an uninitialised-data section
// and a signature's certificate table after the sections. Options break one part at a time.
#pragma once

#include <cstdint>
#include <string>

namespace velmora::test {

struct TFakePeImage {
  uint16_t Machine = 0x014C;  // i386
  bool Dll = false;
  bool WithVersion = true;
  uint16_t Version[4] = {1, 0, 0, 5};
  uint32_t FixedSignature = 0xFEEF04BDu;
  uint32_t HeadersSize = 0x200;       // SizeOfHeaders
  uint32_t ResourceTreeSize = 0;      // the resource directory's size; 0: the tree's own
  bool UninitialisedSection = false;  // a ".bss" section without raw data
  std::string Certificate;            // appended after the sections, 8-byte aligned
  uint32_t CertificateSizeExtra = 0;  // the table's size says this many bytes more

  std::string Bytes() const {
    const bool pe32Plus = Machine == 0x8664;
    const uint16_t optionalSize = pe32Plus ? 240 : 224;
    const uint32_t nt = 0x40, rawAt = 0x200, rva = 0x1000;
    std::string resources = Resources(rva);
    std::string b(rawAt, '\0');
    Put16(b, 0, 0x5A4D);
    Put32(b, 0x3C, nt);
    Put32(b, nt, 0x00004550);
    Put16(b, nt + 4, Machine);
    Put16(b, nt + 6, UninitialisedSection ? 2 : 1);
    Put16(b, nt + 20, optionalSize);
    Put16(b, nt + 22, static_cast<uint16_t>(0x0102 | (Dll ? 0x2000 : 0)));
    const uint32_t optional = nt + 24;
    Put16(b, optional, pe32Plus ? 0x20B : 0x10B);
    Put32(b, optional + 60, HeadersSize);
    const uint32_t countAt = optional + (pe32Plus ? 108 : 92);
    Put32(b, countAt, 16);
    const uint32_t treeSize = ResourceTreeSize ? ResourceTreeSize : uint32_t(resources.size());
    Put32(b, countAt + 4 + 2 * 8, WithVersion ? rva : 0);
    Put32(b, countAt + 4 + 2 * 8 + 4, WithVersion ? treeSize : 0);
    const uint32_t section = optional + optionalSize;
    b.replace(section, 5, ".rsrc");
    Put32(b, section + 8, static_cast<uint32_t>(resources.size()));
    Put32(b, section + 12, rva);
    Put32(b, section + 16, static_cast<uint32_t>(resources.size()));
    Put32(b, section + 20, rawAt);
    if (UninitialisedSection) {
      b.replace(section + 40, 4, ".bss");
      Put32(b, section + 40 + 8, 0x1000);
      Put32(b, section + 40 + 12, rva + 0x1000);
    }
    b += resources;
    if (!Certificate.empty()) {
      b.resize((b.size() + 7) & ~size_t{7}, '\0');
      Put32(b, countAt + 4 + 4 * 8, static_cast<uint32_t>(b.size()));
      Put32(b, countAt + 4 + 4 * 8 + 4,
            static_cast<uint32_t>(Certificate.size()) + CertificateSizeExtra);
      b += Certificate;
    }
    return b;
  }

 private:
  static void Put16(std::string& b, size_t at, uint16_t v) {
    if (b.size() < at + 2)
      b.resize(at + 2, '\0');
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
  }
  static void Put32(std::string& b, size_t at, uint32_t v) {
    Put16(b, at, static_cast<uint16_t>(v & 0xFFFF));
    Put16(b, at + 2, static_cast<uint16_t>(v >> 16));
  }

  // Type 16 (version) > name 1 > language 0x409 > data entry > VS_VERSIONINFO.
  std::string Resources(uint32_t rva) const {
    std::string r(0x58, '\0');
    Put16(r, 0x0E, 1);
    Put32(r, 0x10, 16);
    Put32(r, 0x14, 0x80000000u | 0x18);
    Put16(r, 0x18 + 0x0E, 1);
    Put32(r, 0x28, 1);
    Put32(r, 0x2C, 0x80000000u | 0x30);
    Put16(r, 0x30 + 0x0E, 1);
    Put32(r, 0x40, 0x409);
    Put32(r, 0x44, 0x48);
    const uint32_t info = 0x58, length = 40 + 52;
    Put32(r, 0x48, rva + info);
    Put32(r, 0x4C, length);
    Put16(r, info, static_cast<uint16_t>(length));
    Put16(r, info + 2, 52);
    const char16_t key[] = u"VS_VERSION_INFO";
    for (size_t i = 0; i < 16; ++i)
      Put16(r, info + 6 + i * 2, static_cast<uint16_t>(key[i]));
    const uint32_t fixed = info + 40;
    Put32(r, fixed, FixedSignature);
    Put32(r, fixed + 4, 0x00010000);
    Put32(r, fixed + 8, static_cast<uint32_t>(Version[0]) << 16 | Version[1]);
    Put32(r, fixed + 12, static_cast<uint32_t>(Version[2]) << 16 | Version[3]);
    r.resize(fixed + 52, '\0');
    return r;
  }
};

}  // namespace velmora::test
