// The phonebook entry "Tarvolix": its template, the phonebook's path and the writer that
// merges the entry into the all-users phonebook without touching the other entries.
#include "engine/Phonebook.h"

#include <array>
#include <vector>

#include "engine/AppTitle.h"
#include "engine/DialEntry.h"
#include "engine/FileReplace.h"

namespace velmora {
namespace {

// The section's header line: "[" + the entry's name + "]".
constexpr auto kSectionHeaderText = [] {
  std::array<char, kEntryName.size() + 2> text{};
  text.front() = '[';
  for (size_t i = 0; i < kEntryName.size(); ++i)
    text[i + 1] = kEntryName[i];
  text.back() = ']';
  return text;
}();

// A broadband PPPoE entry bound to the system's PPPoE miniport; the dialer dials it with only
// a user name and a password. The identity values (Guid, DialParamsUID, the date words) are
// the same on every computer.
constexpr std::array<std::string_view, 125> kTemplateLines = {
    std::string_view(kSectionHeaderText.data(), kSectionHeaderText.size()),
    "Encoding=1",
    "PBVersion=4",
    "Type=5",
    "AutoLogon=0",
    "UseRasCredentials=0",
    "LowDateTime=-1442688960",
    "HighDateTime=30483509",
    "DialParamsUID=38212171",
    "Guid=0A0C79CC7669FA47987A57566FDA4F33",
    "VpnStrategy=0",
    "ExcludedProtocols=0",
    "LcpExtensions=1",
    "DataEncryption=8",
    "SwCompression=0",
    "NegotiateMultilinkAlways=0",
    "SkipDoubleDialDialog=0",
    "DialMode=0",
    "OverridePref=15",
    "RedialAttempts=3",
    "RedialSeconds=60",
    "IdleDisconnectSeconds=0",
    "RedialOnLinkFailure=1",
    "CallbackMode=0",
    "CustomDialDll=",
    "CustomDialFunc=",
    "CustomRasDialDll=",
    "ForceSecureCompartment=0",
    "DisableIKENameEkuCheck=0",
    "AuthenticateServer=0",
    "ShareMsFilePrint=0",
    "BindMsNetClient=0",
    "SharedPhoneNumbers=0",
    "GlobalDeviceSettings=0",
    "PrerequisiteEntry=",
    "PrerequisitePbk=",
    "PreferredPort=PPPoE5-0",
    "PreferredDevice=WAN Miniport (PPPOE)",
    "PreferredBps=0",
    "PreferredHwFlow=0",
    "PreferredProtocol=0",
    "PreferredCompression=0",
    "PreferredSpeaker=0",
    "PreferredMdmProtocol=0",
    "PreviewUserPw=1",
    "PreviewDomain=0",
    "PreviewPhoneNumber=0",
    "ShowDialingProgress=1",
    "ShowMonitorIconInTaskBar=1",
    "CustomAuthKey=0",
    "AuthRestrictions=552",
    "IpPrioritizeRemote=1",
    "IpInterfaceMetric=0",
    "IpHeaderCompression=0",
    "IpAddress=0.0.0.0",
    "IpDnsAddress=0.0.0.0",
    "IpDns2Address=0.0.0.0",
    "IpWinsAddress=0.0.0.0",
    "IpWins2Address=0.0.0.0",
    "IpAssign=1",
    "IpNameAssign=1",
    "IpDnsFlags=0",
    "IpNBTFlags=0",
    "TcpWindowSize=0",
    "UseFlags=3",
    "IpSecFlags=0",
    "IpDnsSuffix=",
    "Ipv6Assign=1",
    "Ipv6Address=::",
    "Ipv6PrefixLength=0",
    "Ipv6PrioritizeRemote=1",
    "Ipv6InterfaceMetric=0",
    "Ipv6NameAssign=1",
    "Ipv6DnsAddress=::",
    "Ipv6Dns2Address=::",
    "Ipv6Prefix=0000000000000000",
    "Ipv6InterfaceId=0000000000000000",
    "DisableClassBasedDefaultRoute=0",
    "DisableMobility=0",
    "NetworkOutageTime=0",
    "ProvisionType=0",
    "PreSharedKey=",
    "CacheCredentials=0",
    "NumCustomPolicy=0",
    "NumEku=0",
    "UseMachineRootCert=0",
    "NumServers=0",
    "NumRoutes=0",
    "NumNrptRules=0",
    "AutoTiggerCapable=0",
    "NumAppIds=0",
    "NumClassicAppIds=0",
    "SecurityDescriptor=",
    "ApnInfoProviderId=",
    "ApnInfoUsername=",
    "ApnInfoPassword=",
    "ApnInfoAccessPoint=",
    "ApnInfoAuthentication=1",
    "ApnInfoCompression=0",
    "WebPreAuth=",
    "DisableDefaultDnsSuffixes=0",
    "NumTrustedNetworks=0",
    "NumDnsSearchSuffixes=0",
    "PowershellCreatedProfile=0",
    "ProxyFlags=0",
    "ProxySettingsModified=0",
    "ProvisioningAuthority=",
    "AuthTypeOTP=0",
    "GREKeyDefined=0",
    "NumPerAppTrafficFilters=0",
    "AlwaysOnCapable=0",
    "PrivateNetwork=0",
    "",
    "NETCOMPONENTS=",
    "ms_msclient=0",
    "ms_server=0",
    "",
    "MEDIA=rastapi",
    "Port=PPPoE5-0",
    "Device=WAN Miniport (PPPOE)",
    "",
    "DEVICE=PPPoE",
    "LastSelectedPhone=0",
    "PromoteAlternates=0",
    "TryNextAlternateOnFail=1",
};

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The lines of a text, each with its own line end ("\n", "\r\n" or none for the last).
std::vector<std::string_view> SplitLinesKeepingEnds(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    end = end == std::string_view::npos ? text.size() : end + 1;
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return lines;
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string_view LineBody(std::string_view line, bool firstLine) {
  if (firstLine && line.starts_with(kUtf8Bom))
    line.remove_prefix(kUtf8Bom.size());
  size_t end = line.find_last_not_of(" \t\r\n");
  return end == std::string_view::npos ? std::string_view{} : line.substr(0, end + 1);
}

bool IsSectionLine(std::string_view line, bool firstLine) {
  return LineBody(line, firstLine).starts_with('[');
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The header of the entry's section; entry names are matched without regard to case, as the
// dialer does, so "[tarvolix]" is the same entry.
bool IsEntryHeader(std::string_view line, bool firstLine) {
  std::string_view body = LineBody(line, firstLine);
  if (body.size() != kEntryName.size() + 2 || body.front() != '[' || body.back() != ']') {
    return false;
  }
  for (size_t i = 0; i < kEntryName.size(); ++i) {
    if (AsciiLower(body[i + 1]) != AsciiLower(kEntryName[i]))
      return false;
  }
  return true;
}

bool EndsWithBlankLine(std::string_view text) {
  if (!text.ends_with('\n'))
    return false;
  text.remove_suffix(1);
  size_t start = text.rfind('\n');
  return IsBlank(start == std::string_view::npos ? text : text.substr(start + 1));
}

// Creates every missing directory of dir, outermost first. Failures are not looked at here:
// a directory that could not be made shows up when the file is written.
void MakeMissingDirectories(const std::wstring& dir) {
  for (size_t pos = dir.find_first_of(kDirectorySeparators); pos != std::wstring::npos;
       pos = dir.find_first_of(kDirectorySeparators, pos + 1)) {
    std::wstring directory = dir.substr(0, dir[pos] == L':' ? pos + 1 : pos);
    if (directory.find_first_not_of(kDirectorySeparators) == std::wstring::npos)
      continue;
    if (!DirectoryExists(directory))
      MakeDirectory(directory);
  }
}

}  // namespace

std::span<const std::string_view> RasphoneTemplateLines() {
  return kTemplateLines;
}

std::string RasphoneTemplateText() {
  std::string text;
  for (std::string_view line : kTemplateLines) {
    text += line;
    text += kLineEnd;
  }
  return text;
}

std::wstring FormRasPhonebookPath(const std::wstring& allUsersData) {
  std::wstring path = allUsersData;
  if (!path.ends_with(L'\\'))
    path += L'\\';
  return path + L"Application Data\\Microsoft\\Network\\Connections\\Pbk\\rasphone.pbk";
}

std::wstring PhonebookDirectoryPart(const std::wstring& path) {
  size_t last = path.find_last_of(kDirectorySeparators);
  return last == std::wstring::npos ? std::wstring{} : path.substr(0, last + 1);
}

std::string MergeRasphoneEntry(std::string_view phonebook) {
  const std::string entry = RasphoneTemplateText();
  std::vector<std::string_view> lines = SplitLinesKeepingEnds(phonebook);
  std::string merged;
  std::string others;  // everything outside the entry's sections
  bool entryWritten = false;
  for (size_t i = 0; i < lines.size();) {
    bool first = i == 0;
    if (!IsEntryHeader(lines[i], first)) {
      merged += lines[i];
      others += lines[i];
      ++i;
      continue;
    }
    if (first && lines[i].starts_with(kUtf8Bom)) {
      merged += kUtf8Bom;
      others += kUtf8Bom;
    }
    size_t next = i + 1;
    while (next < lines.size() && !IsSectionLine(lines[next], false))
      ++next;
    // The first section becomes the template, separated from a following section by an
    // empty line as the system writes it; a second one of the same name would shadow or
    // confuse the first, so it goes.
    if (!entryWritten) {
      merged += entry;
      if (next < lines.size())
        merged += kLineEnd;
      entryWritten = true;
    }
    i = next;
  }
  if (IsBlank(others))
    return entry;
  if (!entryWritten) {
    if (!merged.ends_with('\n'))
      merged += kLineEnd;
    if (!EndsWithBlankLine(merged))
      merged += kLineEnd;
    merged += entry;
  }
  return merged;
}

bool WriteRasphoneEntry(const std::wstring& path, const TShowMessage& showMessage) {
  auto fail = [&] {
    if (showMessage)
      showMessage(kPhonebookWriteFailedText, kApplicationTitle);
    return false;
  };
  std::wstring dir = PhonebookDirectoryPart(path);
  if (dir.empty() || dir.size() == path.size())
    return fail();
  MakeMissingDirectories(dir);

  // Never replace what could not be read: the other entries would be lost.
  std::string old;
  if (ReadWholeFile(path, old) == TReadResult::Failed)
    return fail();
  if (!ReplaceFileAtomically(path, MergeRasphoneEntry(old)))
    return fail();
  return true;
}

bool WriteRasphoneEntry(const std::wstring& path) {
  return WriteRasphoneEntry(path, ShowModalMessage);
}

}  // namespace velmora
