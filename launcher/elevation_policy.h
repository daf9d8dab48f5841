// UAC policy that refuses elevation: whether a rule of this PC, rather than
// the player's "No", refused the rights Tidemark asked for. The User
// Account Control settings are registry values any account may read.
#pragma once

#include "platform/platform.h"

namespace tidemark {

// Whether this PC's User Account Control settings refused administrator
// rights to Tidemark without a prompt, Windows having answered the
// restart with `error`. Only by the answer where they cannot be read.
bool ElevationRefusedByPolicy(platform::DWORD error);

}  // namespace tidemark
