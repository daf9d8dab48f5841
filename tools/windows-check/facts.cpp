#include "windows-check/facts.h"

#include <windows.h>

#include <cstring>

#include "windows-check/files.h"
#include "windows-check/token.h"

namespace tidemark::check {

namespace {

const char* const kPolicies = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char* const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char* const kPolicySource =
    "Microsoft, User Account Control settings and configuration (its registry table and "
    "defaults); [MS-GPSB] 2.2.11 (the values under "
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System)";

// A value of HKLM in the system's own view (the 64-bit one on 64-bit
// Windows): a DWORD as its number, a string as itself.
std::optional<std::string> MachineValue(const char* key, const char* name) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | KEY_WOW64_64KEY, &opened) != 0) {
    return std::nullopt;
  }
  char data[256] = {};
  DWORD type = 0;
  DWORD size = sizeof data - 1;
  const LONG status =
      ::RegQueryValueExA(opened, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  ::RegCloseKey(opened);
  if (status != ERROR_SUCCESS) return std::nullopt;
  if (type == REG_DWORD) {
    DWORD number = 0;
    std::memcpy(&number, data, sizeof number);
    return std::to_string(number);
  }
  return std::string(data);
}

std::optional<std::uint32_t> Policy(const char* name) {
  const std::optional<std::string> value = MachineValue(kPolicies, name);
  if (!value || value->empty() || (*value)[0] < '0' || (*value)[0] > '9') return std::nullopt;
  return static_cast<std::uint32_t>(std::stoul(*value));
}

std::string Shown(const std::optional<std::uint32_t>& value) {
  return value ? std::to_string(*value) : "absent";
}

}  // namespace

Facts ReadFacts() {
  Facts facts;
  using WineVersion = const char*(CDECL*)();
  if (const auto wine =
          reinterpret_cast<WineVersion>(FunctionOf("ntdll.dll", "wine_get_version"))) {
    facts.wine = wine();
  }
  // RtlGetVersion answers the real version; GetVersionEx answers 6.2 to a
  // program without a manifest that names Windows 8.1 or later.
  using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  if (const auto get = reinterpret_cast<GetVersion>(FunctionOf("ntdll.dll", "RtlGetVersion"))) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get(&info) == 0) {
      facts.major = info.dwMajorVersion;
      facts.minor = info.dwMinorVersion;
      facts.rtlBuild = std::to_string(info.dwBuildNumber);
      facts.version = std::to_string(info.dwMajorVersion) + "." +
                      std::to_string(info.dwMinorVersion) + "." + facts.rtlBuild;
    }
  }
  facts.registryBuild = MachineValue(kCurrentVersion, "CurrentBuild").value_or("");
  for (const char* name : {"UBR", "DisplayVersion", "ProductName"}) {
    if (const std::optional<std::string> value = MachineValue(kCurrentVersion, name)) {
      facts.registryDetail +=
          std::string(facts.registryDetail.empty() ? "" : ", ") + name + " " + *value;
    }
  }
  // Where Tidemark looks for it (launcher/launch_target.cpp): the 32-bit view.
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\UOAssist.exe", 0,
                      KEY_READ | KEY_WOW64_32KEY, &key) == 0) {
    char path[MAX_PATH] = {};
    DWORD size = sizeof path - 1;
    if (::RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) ==
            0 &&
        Exists(path)) {
      facts.assistant = path;
    }
    ::RegCloseKey(key);
  }
  facts.elevated = Elevated().value_or(false);
  facts.elevationType = ElevationType();
  facts.virtualizedAtStart = Virtualized().value_or(false);
  facts.enableLua = Policy("EnableLUA");
  facts.adminPrompt = Policy("ConsentPromptBehaviorAdmin");
  facts.userPrompt = Policy("ConsentPromptBehaviorUser");
  facts.secureDesktop = Policy("PromptOnSecureDesktop");
  if (!facts.wine.empty()) {
    facts.withoutAccountControl =
        "Wine has no User Account Control: no VirtualStore, no prompt, no compatibility layers";
  } else if (facts.enableLua == 0u) {
    facts.withoutAccountControl = "User Account Control is off on this PC (EnableLUA 0)";
  } else if (facts.elevated && facts.elevationType == 2u) {
    facts.withoutAccountControl =
        "this check runs elevated: start it again without \"Run as administrator\"";
  } else if (facts.elevated) {
    // No split token: on Windows 7 and Vista the slider's "Never notify"
    // turns User Account Control off ("User Account Control
    // (Authorization)"), and the built-in Administrator runs everything
    // with full rights (FilterAdministratorToken's default).
    facts.withoutAccountControl =
        "this account runs every program elevated: on Windows 7 and Vista, move the slider of "
        "\"Change User Account Control settings\" (Control Panel, User Accounts) up from "
        "\"Never notify\" and restart Windows; or sign in as an account other than the "
        "built-in Administrator";
  } else if (facts.virtualizedAtStart && !SetVirtualized(false)) {
    facts.withoutAccountControl =
        "the check could not switch off its own virtualization, so it cannot see the real "
        "folder and the VirtualStore apart";
  }
  // The value in force: ConsentPromptBehaviorAdmin for an administrator's
  // split token, ConsentPromptBehaviorUser for a standard user; 0 asks
  // nothing in either ([MS-GPSB] 2.2.11.2; the registry table of "User
  // Account Control Group Policy and registry key settings"). No page
  // names the value the slider's "Never notify" writes; on Windows 8 and
  // later it elevates with no prompt ("User Account Control
  // (Authorization)"), and where it is not 0 the prompt row differs.
  if (facts.elevationType == 3u && facts.adminPrompt == 0u) {
    facts.withoutPrompt =
        "ConsentPromptBehaviorAdmin 0 (\"Elevate without prompting\"; on Windows 8 and later "
        "the slider's \"Never notify\" does so too) elevates with no prompt";
  } else if (facts.elevationType == 1u && facts.userPrompt == 0u) {
    facts.withoutPrompt =
        "ConsentPromptBehaviorUser 0 (\"Automatically deny elevation requests\") refuses "
        "with no prompt";
  }
  return facts;
}

void ReportFacts(const Facts& facts, Report& report) {
  report.Section("This PC");
  std::string registry = "CurrentBuild " + facts.registryBuild;
  if (!facts.registryDetail.empty()) registry += ", " + facts.registryDetail;
  report.Compare("Windows' version and build",
                 "Windows Vista (6.0) or later, the oldest the release runs on",
                 (facts.version.empty() ? "unknown" : facts.version + " (RtlGetVersion)") +
                     "; registry: " + registry + (facts.wine.empty() ? "" : "; Wine " + facts.wine),
                 "Microsoft, RtlGetVersion (the version as it is; GetVersionExA's page: without "
                 "a manifest naming Windows 8.1 or later, that answers 6.2). The update (UBR) "
                 "and release (DisplayVersion) are read from the registry, "
                 "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion, which no Microsoft "
                 "page documents",
                 facts.major >= 6);
  report.Compare("the build RtlGetVersion answers, against the registry's CurrentBuild",
                 facts.registryBuild, facts.rtlBuild,
                 "no page says that RtlGetVersion is beyond a compatibility mode set on this "
                 "program; where the two differ, the registry's is this Windows' own");
  const char* const tokenSource =
      "Microsoft, TOKEN_ELEVATION_TYPE (3 limited: an administrator in Admin Approval Mode, "
      "not elevated; 1 default: a standard user; 2 full: elevated)";
  const std::string type = facts.elevationType ? std::to_string(*facts.elevationType) : "unknown";
  const std::string got = type + (facts.elevated ? ", elevated" : ", not elevated");
  const std::string expectedToken = "3 or 1, not elevated";
  if (!facts.wine.empty()) {
    report.NotAvailable("this account's rights", expectedToken,
                        "Wine gives every program a full token: " + got, tokenSource);
  } else {
    report.Compare("this account's rights", expectedToken, got, tokenSource, !facts.elevated);
  }
  // Microsoft's pages differ on the standard users' default: 3 ("Prompt
  // for credentials") on the policy's own page and in the registry table,
  // 1 ("... on the secure desktop") in the older table of Group Policy
  // settings. Either asks, as Windows' own default does where it is absent.
  const struct {
    const char* name;
    std::optional<std::uint32_t> value;
    std::uint32_t fallback;
    std::optional<std::uint32_t> fallbackToo;  // where the pages differ; absent is taken too
    const char* source;
  } policies[] = {
      {"EnableLUA", facts.enableLua, 1, std::nullopt, kPolicySource},
      {"ConsentPromptBehaviorAdmin", facts.adminPrompt, 5, std::nullopt, kPolicySource},
      {"ConsentPromptBehaviorUser", facts.userPrompt, 3, 1,
       "Microsoft, User Account Control: Behavior of the elevation prompt for standard users "
       "(Prompt for credentials, 3, the default) and User Account Control Group Policy and "
       "registry key settings (its registry table: 3; its Group Policy table: Prompt for "
       "credentials on the secure desktop, 1)"},
      {"PromptOnSecureDesktop", facts.secureDesktop, 1, std::nullopt, kPolicySource}};
  for (const auto& policy : policies) {
    const std::string what = std::string("User Account Control: ") + policy.name;
    const bool isDefault =
        policy.value == policy.fallback ||
        (policy.fallbackToo && (!policy.value || policy.value == policy.fallbackToo));
    const std::string expected =
        std::to_string(policy.fallback) +
        (policy.fallbackToo ? " or " + std::to_string(*policy.fallbackToo) + ", or absent" : "") +
        " (Windows' default)";
    const std::string shown = Shown(policy.value) + (isDefault ? " (Windows' default)" : "");
    if (!facts.wine.empty()) {
      report.NotAvailable(what, expected, facts.withoutAccountControl + "; here: " + shown,
                          policy.source);
    } else {
      report.Compare(what, expected, shown, policy.source, isDefault);
    }
  }
}

}  // namespace tidemark::check
