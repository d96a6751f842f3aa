// The administrator test chain: which system function decides, the AccessCheck emulation's
// reading of its result, and that every undecidable step means "not an administrator".
#include "app/AdminCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::app {
namespace {

TTokenHandle Handle(std::uintptr_t value) {
  return reinterpret_cast<TTokenHandle>(value);
}

const TTokenHandle kThreadToken = Handle(0x10);
const TTokenHandle kDuplicatedToken = Handle(0x20);
const TTokenHandle kCallerToken = Handle(0x30);
const TSidHandle kSid = Handle(0x40);

// A system whose exports and primitives a test sets up; every call is logged.
class TFakeAdminPlatform final : public IAdminPlatform {
 public:
  std::optional<bool> UserAnAdmin;
  std::optional<bool> TokenMembership;
  std::optional<TMembershipCheck> CheckTokenMembershipAnswer;
  bool SidAllocates = true;
  TThreadTokenOpen ThreadToken = TThreadTokenOpen::NoToken;
  TTokenHandle Duplicated = kDuplicatedToken;
  std::optional<TAccessCheckOutcome> Access = TAccessCheckOutcome{true, true, 1};

  std::vector<std::string> Calls;
  std::uint32_t AllocatedRid = 0;
  TTokenHandle TokenGivenToCheck = nullptr;
  TTokenHandle TokenGivenToAccessCheck = nullptr;
  std::vector<TTokenHandle> Closed;
  int SidsFreed = 0;

  std::optional<bool> IsUserAnAdmin() override {
    Calls.push_back("IsUserAnAdmin");
    return UserAnAdmin;
  }
  std::optional<bool> SHTestTokenMembership(TTokenHandle, std::uint32_t) override {
    Calls.push_back("SHTestTokenMembership");
    return TokenMembership;
  }
  std::optional<TMembershipCheck> CheckTokenMembership(TTokenHandle token, TSidHandle) override {
    Calls.push_back("CheckTokenMembership");
    TokenGivenToCheck = token;
    return CheckTokenMembershipAnswer;
  }
  TSidHandle AllocateBuiltinGroupSid(std::uint32_t rid) override {
    Calls.push_back("AllocateBuiltinGroupSid");
    AllocatedRid = rid;
    return SidAllocates ? kSid : nullptr;
  }
  void FreeSid(TSidHandle) override { ++SidsFreed; }
  TThreadTokenOpen OpenThreadToken(TTokenHandle& token) override {
    Calls.push_back("OpenThreadToken");
    if (ThreadToken == TThreadTokenOpen::Opened) {
      token = kThreadToken;
    }
    return ThreadToken;
  }
  TTokenHandle DuplicateProcessToken() override {
    Calls.push_back("DuplicateProcessToken");
    return Duplicated;
  }
  std::optional<TAccessCheckOutcome> AccessCheckForSid(TTokenHandle token, TSidHandle) override {
    Calls.push_back("AccessCheck");
    TokenGivenToAccessCheck = token;
    return Access;
  }
  void CloseToken(TTokenHandle token) override { Closed.push_back(token); }
};

using TCalls = std::vector<std::string>;

TEST(IsAdministrator, IsUserAnAdminDecidesWhenExported) {
  for (const bool answer : {true, false}) {
    TFakeAdminPlatform platform;
    platform.UserAnAdmin = answer;
    platform.TokenMembership = !answer;
    EXPECT_EQ(IsAdministrator(platform), answer);
    EXPECT_EQ(platform.Calls, TCalls{"IsUserAnAdmin"});
  }
}

TEST(IsAdministrator, FallsBackToShellMembershipTestOfAdministratorsGroup) {
  for (const bool answer : {true, false}) {
    TFakeAdminPlatform platform;
    platform.TokenMembership = answer;
    EXPECT_EQ(IsAdministrator(platform), answer);
    EXPECT_EQ(platform.Calls, (TCalls{"IsUserAnAdmin", "SHTestTokenMembership"}));
  }
}

TEST(IsAdministrator, BuildsAdministratorsSidAndUsesCheckTokenMembershipOnEffectiveToken) {
  TFakeAdminPlatform platform;
  platform.CheckTokenMembershipAnswer = TMembershipCheck{true, true};
  EXPECT_TRUE(IsAdministrator(platform));
  EXPECT_EQ(platform.Calls, (TCalls{"IsUserAnAdmin", "SHTestTokenMembership",
                                    "AllocateBuiltinGroupSid", "CheckTokenMembership"}));
  EXPECT_EQ(platform.AllocatedRid, 544u);
  EXPECT_EQ(platform.TokenGivenToCheck, nullptr);
  EXPECT_EQ(platform.SidsFreed, 1);
}

TEST(TestTokenMembership, TestsEffectiveTokenWhateverTokenTheCallerNamed) {
  TFakeAdminPlatform platform;
  platform.CheckTokenMembershipAnswer = TMembershipCheck{true, true};
  EXPECT_TRUE(TestTokenMembership(platform, kCallerToken, 545));
  EXPECT_EQ(platform.TokenGivenToCheck, nullptr);
  EXPECT_EQ(platform.AllocatedRid, 545u);
}

TEST(TestTokenMembership, FailuresMeanNotAMemberAndTheSidIsAlwaysFreed) {
  struct TCase {
    const char* Name;
    TMembershipCheck Check;
    bool Expected;
  };
  const TCase cases[] = {
      {"member", {true, true}, true},
      {"not a member", {true, false}, false},
      {"check failed although it claims membership", {false, true}, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeAdminPlatform platform;
    platform.CheckTokenMembershipAnswer = c.Check;
    EXPECT_EQ(TestTokenMembership(platform, nullptr, kAdministratorsRid), c.Expected);
    EXPECT_EQ(platform.SidsFreed, 1);
  }
}

TEST(TestTokenMembership, SidThatCannotBeBuiltMeansNotAMember) {
  TFakeAdminPlatform platform;
  platform.SidAllocates = false;
  platform.CheckTokenMembershipAnswer = TMembershipCheck{true, true};
  EXPECT_FALSE(IsAdministrator(platform));
  EXPECT_EQ(platform.Calls,
            (TCalls{"IsUserAnAdmin", "SHTestTokenMembership", "AllocateBuiltinGroupSid"}));
  EXPECT_EQ(platform.SidsFreed, 0);
}

TEST(CheckMembership, EmulationReadsAccessCheckResult) {
  struct TCase {
    const char* Name;
    std::optional<TAccessCheckOutcome> Access;
    TMembershipCheck Expected;
  };
  const TCase cases[] = {
      {"granted access 1", TAccessCheckOutcome{true, true, 1}, {true, true}},
      {"access denied", TAccessCheckOutcome{true, false, 0}, {true, false}},
      {"status true but other access granted", TAccessCheckOutcome{true, true, 3}, {true, false}},
      {"AccessCheck failed", TAccessCheckOutcome{false, true, 1}, {false, false}},
      {"descriptor could not be built", std::nullopt, {false, false}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeAdminPlatform platform;
    platform.Access = c.Access;
    const TMembershipCheck result = CheckMembership(platform, nullptr, kSid);
    EXPECT_EQ(result.Succeeded, c.Expected.Succeeded);
    EXPECT_EQ(result.IsMember, c.Expected.IsMember);
  }
}

TEST(CheckMembership, EmulationPicksTheTokenAndClosesOnlyWhatItOpened) {
  struct TCase {
    const char* Name;
    TTokenHandle Given;
    TThreadTokenOpen ThreadToken;
    TTokenHandle ExpectedTested;
    TCalls ExpectedCalls;
  };
  const TCase cases[] = {
      {"token given by the caller",
       kCallerToken,
       TThreadTokenOpen::Opened,
       kCallerToken,
       {"CheckTokenMembership", "AccessCheck"}},
      {"thread impersonates",
       nullptr,
       TThreadTokenOpen::Opened,
       kThreadToken,
       {"CheckTokenMembership", "OpenThreadToken", "AccessCheck"}},
      {"thread has no token: process token duplicated",
       nullptr,
       TThreadTokenOpen::NoToken,
       kDuplicatedToken,
       {"CheckTokenMembership", "OpenThreadToken", "DuplicateProcessToken", "AccessCheck"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeAdminPlatform platform;
    platform.ThreadToken = c.ThreadToken;
    EXPECT_TRUE(CheckMembership(platform, c.Given, kSid).IsMember);
    EXPECT_EQ(platform.Calls, c.ExpectedCalls);
    EXPECT_EQ(platform.TokenGivenToAccessCheck, c.ExpectedTested);
    const std::vector<TTokenHandle> expectedClosed =
        c.Given == nullptr ? std::vector<TTokenHandle>{c.ExpectedTested}
                           : std::vector<TTokenHandle>{};
    EXPECT_EQ(platform.Closed, expectedClosed);
  }
}

TEST(CheckMembership, EmulationWithoutATokenFailsWithoutAccessCheck) {
  struct TCase {
    const char* Name;
    TThreadTokenOpen ThreadToken;
    TTokenHandle Duplicated;
  };
  const TCase cases[] = {
      {"thread token cannot be opened", TThreadTokenOpen::Failed, kDuplicatedToken},
      {"process token cannot be duplicated", TThreadTokenOpen::NoToken, nullptr},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeAdminPlatform platform;
    platform.ThreadToken = c.ThreadToken;
    platform.Duplicated = c.Duplicated;
    const TMembershipCheck result = CheckMembership(platform, nullptr, kSid);
    EXPECT_FALSE(result.Succeeded);
    EXPECT_FALSE(result.IsMember);
    EXPECT_TRUE(platform.Closed.empty());
    EXPECT_EQ(platform.TokenGivenToAccessCheck, nullptr);
  }
}

TEST(IsAdministrator, WholeChainDownToTheEmulationWhenNoExportExists) {
  TFakeAdminPlatform platform;
  EXPECT_TRUE(IsAdministrator(platform));
  EXPECT_EQ(platform.Calls, (TCalls{"IsUserAnAdmin", "SHTestTokenMembership",
                                    "AllocateBuiltinGroupSid", "CheckTokenMembership",
                                    "OpenThreadToken", "DuplicateProcessToken", "AccessCheck"}));
  EXPECT_EQ(platform.Closed, std::vector<TTokenHandle>{kDuplicatedToken});
  EXPECT_EQ(platform.SidsFreed, 1);

  TFakeAdminPlatform denied;
  denied.Access = TAccessCheckOutcome{true, false, 0};
  EXPECT_FALSE(IsAdministrator(denied));
}

}  // namespace
}  // namespace velmora::app
