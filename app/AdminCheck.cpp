// The administrator test chain: system exports first, the AccessCheck emulation last.
#include "app/AdminCheck.h"

namespace velmora::app {

bool IsAdministrator(IAdminPlatform& platform) {
  if (const std::optional<bool> answer = platform.IsUserAnAdmin()) {
    return *answer;
  }
  return TestTokenMembership(platform, nullptr, kAdministratorsRid);
}

bool TestTokenMembership(IAdminPlatform& platform, TTokenHandle token, std::uint32_t rid) {
  if (const std::optional<bool> answer = platform.SHTestTokenMembership(token, rid)) {
    return *answer;
  }
  TSidHandle sid = platform.AllocateBuiltinGroupSid(rid);
  if (sid == nullptr) {
    return false;
  }
  // The effective token is tested whatever token the caller named.
  const TMembershipCheck check = CheckMembership(platform, nullptr, sid);
  platform.FreeSid(sid);
  return check.Succeeded && check.IsMember;
}

TMembershipCheck CheckMembership(IAdminPlatform& platform, TTokenHandle token, TSidHandle sid) {
  if (const std::optional<TMembershipCheck> answer = platform.CheckTokenMembership(token, sid)) {
    return *answer;
  }
  TTokenHandle tested = token;
  bool opened = false;
  if (tested == nullptr) {
    switch (platform.OpenThreadToken(tested)) {
      case TThreadTokenOpen::Opened:
        break;
      case TThreadTokenOpen::NoToken:
        tested = platform.DuplicateProcessToken();
        break;
      case TThreadTokenOpen::Failed:
        tested = nullptr;
        break;
    }
    if (tested == nullptr) {
      return {};
    }
    opened = true;
  }
  TMembershipCheck result;
  if (const std::optional<TAccessCheckOutcome> outcome = platform.AccessCheckForSid(tested, sid)) {
    result.Succeeded = outcome->Succeeded;
    result.IsMember = outcome->Succeeded && outcome->AccessStatus && outcome->GrantedAccess == 1;
  }
  if (opened) {
    platform.CloseToken(tested);
  }
  return result;
}

}  // namespace velmora::app
