// The administrator test chain, written against a seam so that the choice between the
// system's exports and the AccessCheck emulation is plain code that native tests drive.
#pragma once

#include <cstdint>
#include <optional>

namespace velmora::app {

using TTokenHandle = void*;  // 0 stands for the calling thread's effective token
using TSidHandle = void*;

// 544: the built-in Administrators group, relative to the built-in domain (32).
inline constexpr std::uint32_t kAdministratorsRid = 544;

struct TMembershipCheck {
  bool Succeeded = false;
  bool IsMember = false;
};

struct TAccessCheckOutcome {
  bool Succeeded = false;     // AccessCheck's own result
  bool AccessStatus = false;  // access granted to the token
  std::uint32_t GrantedAccess = 0;
};

enum class TThreadTokenOpen { Opened, NoToken, Failed };

// What the chain needs of the system. Export lookups answer nullopt when the library or
// the export is missing.
class IAdminPlatform {
 public:
  virtual ~IAdminPlatform() = default;

  virtual std::optional<bool> IsUserAnAdmin() = 0;
  virtual std::optional<bool> SHTestTokenMembership(TTokenHandle token, std::uint32_t rid) = 0;
  virtual std::optional<TMembershipCheck> CheckTokenMembership(TTokenHandle token,
                                                               TSidHandle sid) = 0;

  // A group sid of the built-in domain under the NT authority; nullptr on failure.
  virtual TSidHandle AllocateBuiltinGroupSid(std::uint32_t rid) = 0;
  virtual void FreeSid(TSidHandle sid) = 0;

  // Pieces of the emulation: the thread's token for querying, the process token duplicated
  // for impersonation (nullptr on failure), and AccessCheck against a descriptor that grants
  // access 1 to the sid only (nullopt when the descriptor cannot be built).
  virtual TThreadTokenOpen OpenThreadToken(TTokenHandle& token) = 0;
  virtual TTokenHandle DuplicateProcessToken() = 0;
  virtual std::optional<TAccessCheckOutcome> AccessCheckForSid(TTokenHandle token,
                                                               TSidHandle sid) = 0;
  virtual void CloseToken(TTokenHandle token) = 0;
};

// Any undecidable step answers "not an administrator".
bool IsAdministrator(IAdminPlatform& platform);
bool TestTokenMembership(IAdminPlatform& platform, TTokenHandle token, std::uint32_t rid);
TMembershipCheck CheckMembership(IAdminPlatform& platform, TTokenHandle token, TSidHandle sid);

}  // namespace velmora::app
