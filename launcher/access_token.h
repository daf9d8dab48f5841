// What this process's access token says about its rights: whether it runs
// elevated, and whether Windows virtualizes its writes. A leaf: the restart,
// the launch and the question of redirected writes all ask it.
#pragma once

#include <optional>

#include "platform/platform.h"

namespace tidemark {

// What this process's access token answers for one information class that
// is a DWORD (TokenElevation, TokenVirtualizationEnabled); none where the
// system cannot say.
std::optional<platform::DWORD> TokenAnswer(platform::DWORD informationClass);

// Whether this process runs without administrator rights: true only when
// its token says it is not elevated. False when the system cannot say, so
// that a copy never starts itself once more on a guess.
bool RunsWithoutRights();

// The token's TokenVirtualizationEnabled: a DWORD, nonzero where its
// writes are virtualized (TOKEN_INFORMATION_CLASS's page). No answer: not
// virtualized, so that nothing is asked on a guess.
bool TokenIsVirtualized();

}  // namespace tidemark
