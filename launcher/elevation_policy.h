// UAC policy that refuses elevation: whether a rule of this PC, rather than
// the player's "No", refused the rights Tidemark asked for. The User
// Account Control settings are registry values any account may read.
#pragma once

namespace tidemark {

// Whether this PC's User Account Control settings refuse administrator
// rights to Tidemark without a prompt. False where they cannot be read.
bool ElevationRefusedByPolicy();

}  // namespace tidemark
