#include "launcher/self_elevation.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "launcher/boxes.h"
#include "launcher/elevated_path.h"
#include "launcher/elevation_policy.h"
#include "launcher/program_start.h"
#include "launcher/shell_start.h"
#include "platform/platform.h"
#include "support/command_line.h"

namespace tidemark {

namespace {

constexpr std::string_view kStartFolder = "/StartIn=";

// Whether Windows' answer says the elevated copy could not reach what it
// was started by: a drive letter of the player's session only, or a
// network folder its account cannot reach. File and path not found are on
// ShellExecuteEx's page; the names and texts are the System Error Codes
// pages' (learn.microsoft.com/windows/win32/debug/system-error-codes):
// ERROR_INVALID_DRIVE (15, "The system cannot find the drive specified"),
// ERROR_BAD_NETPATH (53, "The network path was not found"),
// ERROR_DEV_NOT_EXIST (55, "The specified network resource or device is no
// longer available"), ERROR_NETNAME_DELETED (64, "The specified network
// name is no longer available"), ERROR_NETWORK_ACCESS_DENIED (65, "Network
// access is denied"), ERROR_BAD_NET_NAME (67, "The network name cannot be
// found") and ERROR_NO_NET_OR_BAD_PATH (1203). Which of them a failed
// elevation gives for each cause no page says: any other gets the box that
// names it.
bool CannotReach(platform::DWORD error) {
  switch (error) {
    case platform::kErrorFileNotFound:
    case platform::kErrorPathNotFound:
    case 15:
    case 53:
    case 55:
    case 64:
    case 65:
    case 67:
    case 1203:
      return true;
    default:
      return false;
  }
}

// Whether Windows' answer may say that the elevated copy's logon lacks the
// credentials the player's has for a share: it is another logon session,
// and a share connected with a password in one is not connected for the
// other (KB937624, see elevated_path.h). The System Error Codes pages name
// them: 5, ERROR_ACCESS_DENIED ("Access is denied"); 1219,
// ERROR_SESSION_CREDENTIAL_CONFLICT ("Multiple connections to a server or
// shared resource by the same user, using more than one user name, are not
// allowed"); 1244, ERROR_NOT_AUTHENTICATED ("... the user has not been
// authenticated"); 1326, ERROR_LOGON_FAILURE ("The user name or password is
// incorrect"). Which one an elevation answers there, no page says, nor
// whether access denied on a share can mean a refusal of the rights: then
// the drive box stands where the one saying Windows refused them would;
// both say nothing was done, and its advice to move the game to this PC's
// own drive needs no share.
bool CredentialsRefused(platform::DWORD error) {
  return error == platform::kErrorAccessDenied || error == 1219 || error == 1244 || error == 1326;
}

// Where a path leads that the elevated copy may lack: its drive letter
// ("M:"), or the whole path where it names none (a network path).
TextValue PlaceOf(const TextValue& path) {
  const std::string_view text = path.View();
  return text.size() >= 3 && text[1] == ':' && text[2] == '\\' ? TextValue(text.substr(0, 2))
                                                               : path;
}

// The place the drive box names where the elevated copy's reach of
// `given`, which it is started by as `reached`, hangs on this session: the
// network path (given as one, or from a mapped or subst letter), a network
// drive's letter (GetDriveTypeA's DRIVE_REMOTE) or, unless only a network
// counts, a subst letter. None for a path on this PC's own volumes: a
// failure there is not the session's (a deleted folder, a file system that
// refuses the elevation), and its box names the error.
std::optional<TextValue> SessionPlace(const TextValue& given, const TextValue& reached,
                                      bool networkOnly) {
  if (reached.View().starts_with("\\\\")) return reached;
  const TextValue letter = PlaceOf(given);
  if (letter == given) return std::nullopt;  // no letter's folder: relative
  const TextValue root = PlaceOf(reached) + "\\";
  if (platform::GetDriveTypeA(root.Bytes()) == platform::kDriveRemote) return letter;
  if (!networkOnly && ThroughSubstLetters(given) != given) return letter;
  return std::nullopt;
}

// The places of the program and its working folder that the drive box
// names for `error`; none where it is not the box for that answer.
std::vector<TextValue> PlacesFor(platform::DWORD error, const TextValue& self,
                                 const std::optional<TextValue>& folder,
                                 const ElevatedStart& reach) {
  std::vector<TextValue> places;
  if (!CannotReach(error) && !CredentialsRefused(error)) return places;
  const auto add = [&](const TextValue& given, const TextValue& reached) {
    const std::optional<TextValue> place = SessionPlace(given, reached, !CannotReach(error));
    if (place && std::find(places.begin(), places.end(), *place) == places.end()) {
      places.push_back(*place);
    }
  };
  add(self, reach.File);
  if (folder && reach.Directory) add(*folder, *reach.Directory);
  return places;
}

// The box for Windows' answer to the restart.
void Report(platform::DWORD error, const TextValue& program, const std::vector<TextValue>& places) {
  if (ElevationRefusedByPolicy(error)) {
    // A rule of the PC refused, with no prompt: whatever Windows answered
    // (elevation_policy.cpp), the player is told so, and whom to ask; no
    // drive or share would help.
    Warn(RefusedByPolicyText(program));
  } else if (!places.empty()) {
    Warn(ElevatedCopyCannotReachText(places));
  } else if (error == platform::kErrorCancelled) {
    // A player who declines the prompt has chosen, and is told nothing.
  } else if (error == platform::kErrorAccessDenied) {
    // Refused for another reason than a "No" or the rules above.
    Warn(RightsNotGivenText(program));
  } else {
    Warn(RestartFailedText(program, error));
  }
}

// The elevated copy's parameters: those this one was given, then its
// current folder (as the copy reaches it) for the programs the copy
// starts. Known: ShellExecuteEx hands lpParameters to the program started.
// Not known: whether the process that the elevation makes (the
// Application Information service starts it: "How User Account Control
// works") starts in lpDirectory; SHELLEXECUTEINFO's page says nothing of
// runas there. The folder given last leaves the first parameter, "/N",
// where it is. An odd quote in the parameters is closed first, so that it
// does not take the folder in; a folder is never given otherwise.
std::string ParametersFor(const char* given, const std::optional<TextValue>& folder) {
  std::string parameters = given;
  if (!folder) return parameters;
  if (std::count(parameters.begin(), parameters.end(), '"') % 2 != 0) parameters += '"';
  if (!parameters.empty()) parameters += ' ';
  parameters.append(1, '"').append(kStartFolder).append(folder->View());
  return parameters + '"';
}

}  // namespace

std::int32_t RestartElevatedFor(const TextValue& program) {
  // The sequence runs only where its own path is reachable; should that
  // change under it, the player is told as where it never was.
  const std::optional<TextValue> self = ReachableModulePath();
  if (!self) {
    Warn(UnreachableFolderText());
    return 0;
  }
  // The current folder, given so that the copy need not rely on where an
  // elevated start without one begins: SHELLEXECUTEINFO's page says a NULL
  // lpDirectory means "the current directory", but not for runas, whose
  // process the Application Information service makes; the program the
  // copy starts would inherit that folder. One the ANSI code page cannot
  // show is given by its short form, or not at all: a lossy name would make
  // the start fail.
  const std::optional<TextValue> folder = ReachableCurrentFolder();
  // Both as the elevated copy reaches them: its session lacks this one's
  // subst and network letters (see elevated_path.h). Where none reaches
  // them, the one box says so.
  const ElevatedStart reach = ForElevatedCopy(*self, folder);
  if (!reach.MissingLetters.empty()) {
    Warn(ElevatedCopyCannotReachText(reach.MissingLetters));
    return 0;
  }
  ShellRequest request;
  request.File = reach.File;
  request.Verb = "runas";
  const std::string parameters =
      ParametersFor(CommandTail(platform::GetCommandLineA()), reach.Directory);
  request.Parameters = parameters.c_str();
  request.Directory = reach.Directory ? reach.Directory->Bytes() : nullptr;
  request.Show = platform::kSwShow;
  request.SkipZoneCheck = true;
  if (const platform::DWORD error = StartThroughShell(request); error != 0) {
    Report(error, program, PlacesFor(error, *self, folder, reach));
  }
  return 0;
}

// The elevated copy finds the client's folder by its own path, wherever it
// starts; only the assistant, which keeps the folder it inherits, needs the
// one its parameters name.
std::optional<TextValue> StartFolderGiven() {
  const std::int32_t count = CountParameters();
  const TextValue last = CommandParameter(count);
  if (count == 0 || !last.View().starts_with(kStartFolder) || last.View() == kStartFolder) {
    return std::nullopt;
  }
  return TextValue(last.View().substr(kStartFolder.size()));
}

}  // namespace tidemark
