// The paths by which the elevated copy of Tidemark is started. An elevated
// process runs in a logon session of its own, and drive letters belong to
// the logon session that made them: a subst letter or a mapped network
// drive made in the player's session without rights is not there for it.
// Sources: KB937624, whose text Microsoft also keeps as "Some Programs
// Cannot Access Network Locations When UAC Is Enabled"
// (technet.microsoft.com/library/ee844140.aspx: the two tokens come from
// two logons, and shares mapped with one are not mapped for the other);
// KB3035277, "Mapped drives are not available from an elevated prompt when
// UAC is configured to Prompt for credentials"; Microsoft's "Mapped Network
// Drives with UAC on Windows Vista" (blogs.msdn.microsoft.com/cjacks,
// 2007-02-19: since Windows 2000 SP2 every DOS device name, a subst letter
// too, is tied to the logon session's ID); WNetGetConnection's page, on
// connections seen only in the logon session that made them. So the copy
// is started by what those letters stand for: the folder of a subst
// letter, the network path of a mapped one. Letters of the machine's own
// volumes are every session's, and stay.
#pragma once

#include <optional>
#include <vector>

#include "support/text_value.h"

namespace tidemark {

struct ElevatedStart {
  TextValue File;                         // the program, as the elevated copy reaches it
  std::optional<TextValue> Directory;     // its working folder, likewise
  std::vector<TextValue> MissingLetters;  // where no path reaches them: the letters, as "N:"
};

// `path` with each subst letter it starts with replaced by the folder the
// letter stands for, as QueryDosDeviceA says.
TextValue ThroughSubstLetters(const TextValue& path);

// The program `file` and the working folder `directory` as an elevated
// copy reaches them; where a letter stands for a network drive whose path
// the system cannot say, that letter is missing and nothing reaches it.
ElevatedStart ForElevatedCopy(const TextValue& file, const std::optional<TextValue>& directory);

}  // namespace tidemark
