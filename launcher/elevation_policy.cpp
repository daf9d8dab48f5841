#include "launcher/elevation_policy.h"

#include <optional>

#include "launcher/access_token.h"
#include "platform/platform.h"
#include "support/registry.h"

namespace tidemark {

namespace {

// The settings' values and their meanings are those of "User Account
// Control settings and configuration" (learn.microsoft.com/windows/
// security/application-security/application-control/user-account-control/
// settings-and-configuration), its registry table. The key is one for 32-
// and 64-bit programs ("Registry Keys Affected by WOW64": Policies is shared).
const char* const kPolicyKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

// ERROR_DS_REFERRAL, "A referral was returned from the server" (System
// Error Codes, 8200-8999).
constexpr platform::DWORD kErrorDsReferral = 8235;

std::optional<platform::DWORD> Setting(const char* name) {
  TRegistry reg;
  reg.UseRootKey(platform::HKeyLocalMachine());
  reg.View = platform::kKeyWow64_64Key;
  if (!reg.OpenKeyReadOnly(kPolicyKey)) return std::nullopt;
  platform::DWORD value = 0;
  RegistryValueKind kind = RegistryValueKind::OtherType;
  try {
    if (reg.FetchValueData(name, &value, sizeof value, kind) != sizeof value ||
        kind != RegistryValueKind::Number) {
      return std::nullopt;
    }
  } catch (...) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

// Two settings refuse without asking. "Only elevate executables that are
// signed and validated" (ValidateAdminCodeSignatures 1) refuses Tidemark,
// which is not signed, whoever asks. "Behavior of the elevation prompt for
// standard users" set to "Automatically deny elevation requests"
// (ConsentPromptBehaviorUser 0) refuses a standard user, whose token has
// no linked administrator's one (TOKEN_ELEVATION_TYPE's page); an
// administrator's own setting has no value that refuses. With "Run all
// administrators in Admin Approval Mode" off (EnableLUA 0) neither
// applies. Not known: what ShellExecuteEx answers then (access denied, as
// the page's "access denied error message" suggests, or ERROR_CANCELLED,
// as after a "No"), and whether Windows shows that message itself before
// Tidemark's box; the restart's caller asks here whatever the answer.
// Users report that the signature rule's refusal is ERROR_DS_REFERRAL
// (8235), the same answer as an unsigned program whose manifest asks for
// uiAccess (GitHub reports, rcmaehl/NotCPUCores, 2019, and okieselbach/
// SyncMLViewer, 2025; Sasha Goldshtein, "What Did My Manifest Do: A
// Referral Was Returned from the Server", 2010). No Microsoft page says
// so; as no other cause of it in an elevation is known, it counts as a
// rule of the PC even where the settings cannot be read.
bool ElevationRefusedByPolicy(platform::DWORD error) {
  if (error == kErrorDsReferral) return true;
  if (Setting("EnableLUA") == platform::DWORD{0}) return false;
  if (Setting("ValidateAdminCodeSignatures") == platform::DWORD{1}) return true;
  return TokenAnswer(platform::kTokenElevationType) == platform::kTokenElevationTypeDefault &&
         Setting("ConsentPromptBehaviorUser") == platform::DWORD{0};
}

}  // namespace tidemark
