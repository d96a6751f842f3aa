// The update's view of a downloaded file: a whole executable, one cut short or none, its
// processor, its version record, and the four-part version order.
#include "engine/PeImage.h"

#include <gtest/gtest.h>

#include "tests/engine/fakes/FakePeImage.h"

namespace velmora {
namespace {

using test::TFakePeImage;

// A signature's certificate table as a signing tool appends it: length, revision 2.0, type
// PKCS#7, then the signed data.
std::string CertificateTable(size_t dataSize) {
  std::string table(8 + dataSize, '\x30');
  const uint32_t length = static_cast<uint32_t>(table.size());
  for (int i = 0; i < 4; ++i)
    table[i] = static_cast<char>(length >> (8 * i));
  table.replace(4, 4, std::string("\x00\x02\x02\x00", 4));
  return table;
}

std::string VersionTextOf(const TExeVersion& v) {
  return std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." + std::to_string(v.Release) +
         "." + std::to_string(v.Build);
}

TEST(ReadPeImage, ReadsMachineAndVersionOfBothKindsOfExecutable) {
  for (uint16_t machine : {kMachineI386, kMachineAmd64}) {
    TFakePeImage fake;
    fake.Machine = machine;
    fake.Version[0] = 2;
    fake.Version[1] = 3;
    fake.Version[2] = 4;
    fake.Version[3] = 65535;
    std::optional<TPeImageInfo> info = ReadPeImage(fake.Bytes());
    ASSERT_TRUE(info) << machine;
    EXPECT_EQ(info->Machine, machine);
    ASSERT_TRUE(info->Version);
    EXPECT_EQ(VersionTextOf(*info->Version), "2.3.4.65535");
  }
}

TEST(ReadPeImage, RefusesWhatIsNotAnExecutableImage) {
  TFakePeImage dll;
  dll.Dll = true;
  const std::string good = TFakePeImage().Bytes();
  std::string noPe = good;
  noPe[0x41] = 'X';
  std::string farHeader = good;
  farHeader[0x3C] = '\xF0';
  farHeader[0x3F] = '\x7F';
  const struct {
    const char* Name;
    std::string Bytes;
  } kCases[] = {
      {"empty", ""},
      {"html page", "<html><body>Update</body></html>"},
      {"only the DOS stub", good.substr(0, 0x40)},
      {"no PE signature", noPe},
      {"PE header beyond the end", farHeader},
      {"cut in the optional header", good.substr(0, 0x80)},
      {"cut in the section table", good.substr(0, 0x150)},
      {"a DLL", dll.Bytes()},
  };
  for (const auto& c : kCases)
    EXPECT_FALSE(ReadPeImage(c.Bytes)) << c.Name;
  EXPECT_FALSE(IsCutPeImage("<html><body>Update</body></html>"));
  EXPECT_FALSE(IsCutPeImage(noPe));
  EXPECT_FALSE(IsCutPeImage(dll.Bytes()));
}

TEST(ReadPeImage, TakesAWholeImageWithAnEmptySectionOrACertificateTable) {
  TFakePeImage bss;
  bss.UninitialisedSection = true;
  TFakePeImage signed32;
  signed32.Certificate = CertificateTable(1500);
  TFakePeImage signed64 = signed32;
  signed64.Machine = kMachineAmd64;
  for (const TFakePeImage& fake : {bss, signed32, signed64}) {
    std::optional<TPeImageInfo> info = ReadPeImage(fake.Bytes());
    ASSERT_TRUE(info) << fake.Machine << fake.UninitialisedSection;
    EXPECT_EQ(info->Machine, fake.Machine);
    ASSERT_TRUE(info->Version);
    EXPECT_EQ(VersionTextOf(*info->Version), "1.0.0.5");
    EXPECT_FALSE(IsCutPeImage(fake.Bytes()));
  }
}

TEST(ReadPeImage, AnImageThatEndsTooSoonIsCutNotWhole) {
  // What a download that stopped early leaves: the loader would refuse to map it.
  const std::string good = TFakePeImage().Bytes();
  TFakePeImage signedFake;
  signedFake.Certificate = CertificateTable(1500);
  const std::string signedImage = signedFake.Bytes();
  TFakePeImage tableTooLong = signedFake;
  tableTooLong.CertificateSizeExtra = 8;
  TFakePeImage headersTooLong;
  headersTooLong.HeadersSize = 0x400;
  const struct {
    const char* Name;
    std::string Bytes;
  } kCases[] = {
      {"cut inside the DOS header", good.substr(0, 0x20)},
      {"cut in the optional header", good.substr(0, 0x80)},
      {"cut in the section table", good.substr(0, 0x150)},
      {"cut before the section's data", good.substr(0, 0x200)},
      {"resources cut short", good.substr(0, good.size() - 30)},
      {"one byte short of the last section", good.substr(0, good.size() - 1)},
      {"headers longer than the file", headersTooLong.Bytes()},
      {"certificate table cut", signedImage.substr(0, signedImage.size() - 100)},
      {"certificate table reaching past the end", tableTooLong.Bytes()},
  };
  for (const auto& c : kCases) {
    EXPECT_FALSE(ReadPeImage(c.Bytes)) << c.Name;
    EXPECT_TRUE(IsCutPeImage(c.Bytes)) << c.Name;
  }
}

TEST(ReadPeImage, AnExecutableWithoutAWholeVersionRecordHasNoVersion) {
  TFakePeImage none;
  none.WithVersion = false;
  TFakePeImage badSignature;
  badSignature.FixedSignature = 0x12345678;
  TFakePeImage shortTree;
  shortTree.ResourceTreeSize = 0x20;
  const struct {
    const char* Name;
    std::string Bytes;
  } kCases[] = {
      {"no resources", none.Bytes()},
      {"fixed record without its signature", badSignature.Bytes()},
      {"resource tree shorter than its records", shortTree.Bytes()},
  };
  for (const auto& c : kCases) {
    std::optional<TPeImageInfo> info = ReadPeImage(c.Bytes);
    ASSERT_TRUE(info) << c.Name;
    EXPECT_FALSE(info->Version) << c.Name;
  }
}

TEST(ReadPeImage, NeverReadsOutsideTheBytesWhateverTheyHold) {
  // Every prefix of a good image, and the image with each byte of its headers flipped: the
  // sanitizer builds catch any read beyond the data.
  const std::string good = TFakePeImage().Bytes();
  for (size_t size = 0; size <= good.size(); ++size)
    ReadPeImage(std::string_view(good).substr(0, size));
  for (size_t at = 0; at < good.size(); ++at) {
    std::string broken = good;
    broken[at] = static_cast<char>(broken[at] ^ 0xFF);
    ReadPeImage(broken);
  }
}

TEST(IsNewerVersion, ComparesTheFourNumbersInTurnNotTheirSum) {
  const struct {
    TExeVersion A, B;
    bool Newer;
  } kCases[] = {
      {MakeExeVersion(0x00020000, 0), MakeExeVersion(0x00010009, 0), true},  // 2.0.0.0 > 1.9.0.0
      {MakeExeVersion(0x00010009, 0), MakeExeVersion(0x00020000, 0), false},
      {MakeExeVersion(0x00010000, 6), MakeExeVersion(0x00010000, 5), true},
      {MakeExeVersion(0x00010000, 5), MakeExeVersion(0x00010000, 5), false},  // the same
      {MakeExeVersion(0x00010000, 0x00010000), MakeExeVersion(0x00010000, 0x0000FFFF), true},
      {MakeExeVersion(0x00010001, 0), MakeExeVersion(0x00010000, 0xFFFFFFFF), true},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(IsNewerVersion(c.A, c.B), c.Newer)
        << VersionTextOf(c.A) << " against " << VersionTextOf(c.B);
}

}  // namespace
}  // namespace velmora
