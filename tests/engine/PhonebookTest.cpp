// The phonebook entry's bytes, the phonebook's path and the merge that keeps other entries.
#include "engine/Phonebook.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {
namespace {

// The template as the dialer must see it: known size and FNV-1a 64 hash of all its bytes.
constexpr size_t kTemplateSize = 2431;
constexpr uint64_t kTemplateHash = 0xd2c4f009f2ded6ffULL;

uint64_t Fnv1a64(const std::string& bytes) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

TEST(RasphoneTemplate, HasTheEntrysExactBytes) {
  const std::string text = RasphoneTemplateText();
  EXPECT_EQ(text.size(), kTemplateSize);
  EXPECT_EQ(Fnv1a64(text), kTemplateHash);
  for (unsigned char c : text) {
    ASSERT_TRUE((c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n') << "byte " << int{c};
  }
  EXPECT_TRUE(text.starts_with("[Tarvolix]\r\n"));
  EXPECT_TRUE(text.ends_with("\r\nTryNextAlternateOnFail=1\r\n"));
  EXPECT_EQ(text.find("Tarvolix"), 1u);
  EXPECT_EQ(text.find("Tarvolix", 2), std::string::npos) << "the name occurs only in the header";
}

TEST(RasphoneTemplate, HasItsLinesInPlace) {
  const std::vector<std::string> lines = SplitCrLf(RasphoneTemplateText());
  ASSERT_EQ(lines.size(), 125u);
  ASSERT_EQ(RasphoneTemplateLines().size(), 125u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t number = i + 1;
    EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos) << "line end inside " << number;
    EXPECT_EQ(lines[i].empty(), number == 113 || number == 117 || number == 121) << number;
    EXPECT_EQ(lines[i], RasphoneTemplateLines()[i]) << number;
  }
  // What the dialer relies on: a broadband entry on the PPPoE miniport.
  const struct {
    size_t Number;
    const char* Text;
  } kLines[] = {{1, "[Tarvolix]"},
                {4, "Type=5"},
                {10, "Guid=0A0C79CC7669FA47987A57566FDA4F33"},
                {37, "PreferredPort=PPPoE5-0"},
                {38, "PreferredDevice=WAN Miniport (PPPOE)"},
                {114, "NETCOMPONENTS="},
                {118, "MEDIA=rastapi"},
                {120, "Device=WAN Miniport (PPPOE)"},
                {122, "DEVICE=PPPoE"},
                {125, "TryNextAlternateOnFail=1"}};
  for (const auto& line : kLines)
    EXPECT_EQ(lines[line.Number - 1], line.Text) << line.Number;
}

TEST(FormRasPhonebookPath, AppendsTheAllUsersPhonebookPath) {
  const struct {
    std::wstring AllUsersProfile;
    std::wstring Path;
  } kCases[] = {
      {L"C:\\ProgramData",
       L"C:\\ProgramData\\Application Data\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk"},
      {L"C:\\ProgramData\\",
       L"C:\\ProgramData\\Application Data\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk"},
      {L"D:\\Documents and Settings\\All Users",
       L"D:\\Documents and Settings\\All Users\\Application Data\\Microsoft\\Network\\"
       L"Connections\\Pbk\\rasphone.pbk"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(FormRasPhonebookPath(c.AllUsersProfile), c.Path);
}

TEST(PhonebookDirectoryPart, EndsAtTheLastSeparator) {
  const struct {
    std::wstring Path;
    std::wstring Directory;
  } kCases[] = {
      {L"rasphone.pbk", L""},
      {L"", L""},
      {L"dir/rasphone.pbk", L"dir/"},
      {L"/a/b/rasphone.pbk", L"/a/b/"},
#ifdef _WIN32
      {L"C:\\ProgramData\\Pbk\\rasphone.pbk", L"C:\\ProgramData\\Pbk\\"},
      {L"C:rasphone.pbk", L"C:"},
      {L"C:\\a\\b:c", L"C:\\a\\b:"},
      {L"C:\\a/b\\rasphone.pbk", L"C:\\a/b\\"},
#endif
  };
  for (const auto& c : kCases)
    EXPECT_EQ(PhonebookDirectoryPart(c.Path), c.Directory) << c.Path;
}

TEST(MergeRasphoneEntry, ReplacesOnlyTheEntryAndKeepsEveryOtherByte) {
  const std::string t = RasphoneTemplateText();
  const struct {
    const char* Name;
    std::string Old;
    std::string Merged;
  } kCases[] = {
      {"empty file", "", t},
      {"blank lines only", "\r\n\r\n", t},
      {"the template itself", t, t},
      {"edited entry alone", "[Tarvolix]\r\nType=2\r\nPreferredPort=COM1\r\n", t},
      {"edited entry with trailing blank lines", "[Tarvolix]\r\nType=2\r\n\r\n\r\n", t},
      {"entry without line end", "[Tarvolix]", t},
      {"entries before and after",
       "[Home VPN]\r\nType=2\r\n\r\n[Tarvolix]\r\nType=1\r\n\r\n[Office]\r\nType=3\r\n",
       "[Home VPN]\r\nType=2\r\n\r\n" + t + "\r\n[Office]\r\nType=3\r\n"},
      {"entry first", "[Tarvolix]\r\nType=1\r\n\r\n[Office]\r\nType=3\r\n",
       t + "\r\n[Office]\r\nType=3\r\n"},
      {"other entries only, appended after a blank line", "[Office]\r\nType=3\r\n\r\n",
       "[Office]\r\nType=3\r\n\r\n" + t},
      {"other entries without a closing blank line", "[Office]\r\nType=3\r\n",
       "[Office]\r\nType=3\r\n\r\n" + t},
      {"other entries without a final line end", "[Office]\r\nType=3",
       "[Office]\r\nType=3\r\n\r\n" + t},
      {"LF line ends of other entries kept", "[A]\nType=2\n\n[Tarvolix]\nType=1\n\n[B]\nType=3\n",
       "[A]\nType=2\n\n" + t + "\r\n[B]\nType=3\n"},
      {"entry name in another case", "[A]\r\nx=1\r\n\r\n[TARVOLIX]\r\nType=1\r\n",
       "[A]\r\nx=1\r\n\r\n" + t},
      {"second entry of the same name dropped",
       "[Tarvolix]\r\na=1\r\n\r\n[B]\r\nb=2\r\n\r\n[tarvolix]\r\nc=3\r\n",
       t + "\r\n[B]\r\nb=2\r\n\r\n"},
      {"similar names are other entries", "[Tarvolix 2]\r\nPrerequisiteEntry=Tarvolix\r\n",
       "[Tarvolix 2]\r\nPrerequisiteEntry=Tarvolix\r\n\r\n" + t},
      {"text before the first section kept", "; comment\r\n[Tarvolix]\r\nType=1\r\n",
       "; comment\r\n" + t},
      {"byte-order mark kept", "\xEF\xBB\xBF[Tarvolix]\r\nType=1\r\n\r\n[B]\r\n",
       "\xEF\xBB\xBF" + t + "\r\n[B]\r\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.Name);
    const std::string merged = MergeRasphoneEntry(c.Old);
    EXPECT_EQ(merged, c.Merged);
    EXPECT_EQ(MergeRasphoneEntry(merged), merged) << "a second merge changes nothing";
  }
}

}  // namespace
}  // namespace velmora
