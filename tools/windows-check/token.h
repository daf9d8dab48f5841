// What this process's access token says about its rights, and switching
// its own file virtualization, which the check program needs off to see the
// real folder and the VirtualStore apart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tidemark::check {

// TOKEN_ELEVATION: nonzero where the process runs with administrator rights.
std::optional<bool> Elevated();
// "elevated" or "not elevated", as the report and the recorder say it.
std::string Rights();
// TOKEN_ELEVATION_TYPE: 1 default (a standard user, or UAC off), 2 full
// (elevated), 3 limited (an administrator in Admin Approval Mode).
std::optional<std::uint32_t> ElevationType();
// TokenVirtualizationEnabled: nonzero where writes under Program Files go
// to the VirtualStore.
std::optional<bool> Virtualized();
// Switches it (SetTokenInformation with TokenVirtualizationEnabled, as Task
// Manager's "UAC virtualization" does); true when the token then says so.
bool SetVirtualized(bool on);

}  // namespace tidemark::check
