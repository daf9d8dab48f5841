// What the check program reads about the system it runs on: Windows'
// version and build, whether it is Wine, this account's rights, and the
// User Account Control settings that decide whether and how a prompt
// comes. Each is a row of the report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "windows-check/report.h"

namespace tidemark::check {

struct Facts {
  std::string wine;     // Wine's version, empty on Windows
  std::string version;  // "10.0.22631", from RtlGetVersion
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::string rtlBuild;
  std::string registryBuild;  // CurrentBuild, and UBR and DisplayVersion where there
  std::string registryDetail;
  bool elevated = false;
  std::optional<std::uint32_t> elevationType;
  bool virtualizedAtStart = false;
  std::optional<std::uint32_t> enableLua, adminPrompt, userPrompt, secureDesktop;
  // The assistant's registration, where one is there and names a file that
  // exists: Tidemark starts it before uomon.exe and uo.exe.
  std::string assistant;
  // Why the situations that need User Account Control cannot run here;
  // empty where they can.
  std::string withoutAccountControl;
  // Why an elevation here comes with no prompt, under the policy value in
  // force for this account; empty where that value asks.
  std::string withoutPrompt;
};

// Reads them, and turns off this process's file virtualization.
Facts ReadFacts();
void ReportFacts(const Facts& facts, Report& report);

}  // namespace tidemark::check
