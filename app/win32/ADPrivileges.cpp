// Win32 side of the administrator test: lazily looked-up exports, the AccessCheck emulation
// of CheckTokenMembership, the debug privilege and the "runas" relaunch.
#include "app/win32/ADPrivileges.h"

#include <shellapi.h>

#include "app/AdminCheck.h"
#include "app/ParseFirstParam.h"
#include "app/win32/RelaunchMarker.h"
#include "base/win32/Scoped.h"
#include "base/win32/SystemFunction.h"
#include "base/win32/SystemError.h"

namespace velmora::app {

namespace {

// How long the first copy keeps its mark for the copy it started (which looks at once).
constexpr DWORD kMarkerWaitMs = 60000;

using TIsUserAnAdmin = BOOL(WINAPI*)();
using TSHTestTokenMembership = BOOL(WINAPI*)(HANDLE, ULONG);
using TCheckTokenMembership = BOOL(WINAPI*)(HANDLE, PSID, PBOOL);

class TWin32AdminPlatform final : public IAdminPlatform {
 public:
  std::optional<bool> IsUserAnAdmin() override {
    static const auto function = SystemFunction<TIsUserAnAdmin>(L"SHELL32", "IsUserAnAdmin");
    if (function == nullptr) {
      return std::nullopt;
    }
    return function() != FALSE;
  }

  std::optional<bool> SHTestTokenMembership(TTokenHandle token, std::uint32_t rid) override {
    static const auto function =
        SystemFunction<TSHTestTokenMembership>(L"SHELL32", "SHTestTokenMembership");
    if (function == nullptr) {
      return std::nullopt;
    }
    return function(token, rid) != FALSE;
  }

  std::optional<TMembershipCheck> CheckTokenMembership(TTokenHandle token,
                                                       TSidHandle sid) override {
    static const auto function =
        SystemFunction<TCheckTokenMembership>(L"ADVAPI32", "CheckTokenMembership");
    if (function == nullptr) {
      return std::nullopt;
    }
    BOOL isMember = FALSE;
    const BOOL succeeded = function(token, sid, &isMember);
    return TMembershipCheck{succeeded != FALSE, succeeded != FALSE && isMember != FALSE};
  }

  TSidHandle AllocateBuiltinGroupSid(std::uint32_t rid) override {
    SID_IDENTIFIER_AUTHORITY ntAuthority = {{0, 0, 0, 0, 0, 5}};
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0,
                                  0, &sid)) {
      return nullptr;
    }
    return sid;
  }

  void FreeSid(TSidHandle sid) override { ::FreeSid(sid); }

  TThreadTokenOpen OpenThreadToken(TTokenHandle& token) override {
    HANDLE opened = nullptr;
    if (::OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &opened)) {
      token = opened;
      return TThreadTokenOpen::Opened;
    }
    return GetLastError() == ERROR_NO_TOKEN ? TThreadTokenOpen::NoToken : TThreadTokenOpen::Failed;
  }

  TTokenHandle DuplicateProcessToken() override {
    TScopedHandle processToken;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY,
                          processToken.Receive())) {
      return nullptr;
    }
    HANDLE duplicate = nullptr;
    if (!DuplicateToken(processToken.Get(), SecurityImpersonation, &duplicate)) {
      duplicate = nullptr;
    }
    return duplicate;
  }

  std::optional<TAccessCheckOutcome> AccessCheckForSid(TTokenHandle token,
                                                       TSidHandle sid) override {
    // One block holds the descriptor and, after it, a list with a single entry that grants
    // access 1 to the sid. The list starts after the descriptor's own size (20 bytes in a
    // 32-bit process, 40 in a 64-bit one) so the two never overlap.
    const DWORD sidLength = GetLengthSid(sid);
    const DWORD descriptorSize = SECURITY_DESCRIPTOR_MIN_LENGTH;
    const DWORD blockSize = 3 * sidLength + 20 + descriptorSize;
    const TLocalMemory<BYTE> block(static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, blockSize)));
    if (!block) {
      return std::nullopt;
    }
    auto* descriptor = static_cast<PSECURITY_DESCRIPTOR>(block.Get());
    auto* acl = reinterpret_cast<PACL>(block.Get() + descriptorSize);
    std::optional<TAccessCheckOutcome> outcome;
    if (InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        SetSecurityDescriptorOwner(descriptor, sid, FALSE) &&
        SetSecurityDescriptorGroup(descriptor, sid, FALSE) &&
        InitializeAcl(acl, blockSize - descriptorSize, ACL_REVISION2) &&
        AddAccessAllowedAce(acl, ACL_REVISION2, 1, sid) &&
        SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE)) {
      GENERIC_MAPPING mapping = {READ_CONTROL, READ_CONTROL, READ_CONTROL, STANDARD_RIGHTS_ALL};
      alignas(PRIVILEGE_SET) BYTE privileges[56] = {};
      DWORD privilegesLength = sizeof(privileges);
      DWORD granted = 0;
      BOOL status = FALSE;
      const BOOL succeeded =
          AccessCheck(descriptor, token, 1, &mapping, reinterpret_cast<PPRIVILEGE_SET>(privileges),
                      &privilegesLength, &granted, &status);
      outcome = TAccessCheckOutcome{succeeded != FALSE, status != FALSE, granted};
    }
    return outcome;
  }

  void CloseToken(TTokenHandle token) override { CloseHandle(token); }
};

TWin32AdminPlatform Platform;

}  // namespace

BOOL IsAdministrator() {
  return IsAdministrator(Platform) ? TRUE : FALSE;
}

BOOL TestTokenMembership(HANDLE token, DWORD rid) {
  return TestTokenMembership(Platform, token, rid) ? TRUE : FALSE;
}

BOOL CheckMembership(HANDLE token, PSID sid, BOOL* isMember) {
  const TMembershipCheck check = CheckMembership(Platform, token, sid);
  *isMember = check.IsMember ? TRUE : FALSE;
  return check.Succeeded ? TRUE : FALSE;
}

bool EnableDebugPrivilege(bool enable, std::wstring* error) {
  TScopedHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                        token.Receive())) {
    return false;
  }
  TOKEN_PRIVILEGES privileges = {};
  if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) {
    return false;
  }
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  DWORD returnedLength = 0;
  // Success also when the token lacks the privilege and only "not all assigned" is noted.
  const BOOL adjusted = AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges),
                                              nullptr, &returnedLength);
  const DWORD failure = adjusted ? ERROR_SUCCESS : GetLastError();
  if (!adjusted && error != nullptr) {
    *error = SystemErrorText(failure);
  }
  return adjusted != FALSE;
}

// The started copy learns that it is a relaunch from this process's mark (an argument would
// change the arguments passed on, and a process started through the elevation service does not
// inherit this one's environment), so the mark lives until the copy has seen it or has ended.
void RunElevated() {
  const TRelaunchCommand command = MakeRelaunchCommand(GetCommandLineW());
  const TRelaunchMarker marker;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.hwnd = nullptr;
  info.lpVerb = L"runas";
  info.lpFile = command.File.c_str();
  info.lpParameters = command.Parameters.c_str();
  info.lpDirectory = command.Directory.empty() ? nullptr : command.Directory.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info))
    return;
  const TScopedHandle started(info.hProcess);
  marker.WaitSeen(started.Get(), kMarkerWaitMs);
}

}  // namespace velmora::app
