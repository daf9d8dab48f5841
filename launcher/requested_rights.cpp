#include "launcher/requested_rights.h"

#include <cctype>
#include <string>

#include "launcher/access_token.h"
#include "platform/platform.h"
#include "support/command_line.h"
#include "support/registry.h"

namespace tidemark {

namespace {

const char* const kLayersKey =
    "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// One Layers value: the program's path names it, its text is the layers
// ("Application Compatibility: Program Compatibility Assistant (PCA)",
// learn.microsoft.com/previous-versions/bb756937(v=msdn.10), on the
// settings PCA applies; the Compatibility tab writes the same values).
TextValue LayersIn(platform::HKEY root, const TextValue& program, platform::DWORD view) {
  TRegistry reg;
  reg.UseRootKey(root);
  reg.View = view;
  if (!reg.OpenKeyReadOnly(kLayersKey)) return {};
  try {
    return reg.ReadString(program);
  } catch (...) {
    return {};
  }
}

// The manifest's requestedExecutionLevel, as written ("requireAdministrator",
// "highestAvailable", "asInvoker"); empty where it names none.
std::string LevelIn(std::string_view manifest) {
  const std::string_view element = "requestedExecutionLevel";
  std::size_t at = manifest.find(element);
  if (at == std::string_view::npos) return {};
  const std::string_view tag =
      manifest.substr(at + element.size(), manifest.find('>', at) - at - element.size());
  at = tag.find("level");
  if (at == std::string_view::npos) return {};
  at = tag.find_first_of("\"'", at);
  if (at == std::string_view::npos) return {};
  const std::size_t end = tag.find(tag[at], at + 1);
  return end == std::string_view::npos ? std::string()
                                       : std::string(tag.substr(at + 1, end - at - 1));
}

// The execution level of the manifest a program is started with: its
// RT_MANIFEST resource number 1, the process default ("Using Side-by-side
// Assemblies as a Resource", learn.microsoft.com/windows/win32/sbscs/
// using-side-by-side-assemblies-as-a-resource), read from the file mapped
// as data, so none of its code is prepared or run (LoadLibraryEx's page).
// Not read: a manifest file beside the program, one under another number,
// and one in UTF-16; each counts as none.
std::string ExecutionLevelOf(const TextValue& program) {
  const platform::HMODULE image =
      platform::LoadLibraryExA(program.Bytes(), nullptr, platform::kLoadLibraryAsDatafile);
  if (image == nullptr) return {};
  std::string level;
  const auto* number = reinterpret_cast<const char*>(platform::kProcessManifestId);
  const auto* type = reinterpret_cast<const char*>(platform::kRtManifest);
  if (const platform::HANDLE found = platform::FindResourceA(image, number, type)) {
    const platform::DWORD size = platform::SizeofResource(image, found);
    const platform::HANDLE data = platform::LoadResource(image, found);
    const void* bytes = data == nullptr ? nullptr : platform::LockResource(data);
    if (bytes != nullptr) level = LevelIn({static_cast<const char*>(bytes), size});
  }
  platform::FreeLibrary(image);
  return level;
}

}  // namespace

// HKEY_CURRENT_USER\Software is one key for 32- and 64-bit programs;
// HKEY_LOCAL_MACHINE\Software is redirected for a 32-bit one ("Registry
// Keys Affected by WOW64", learn.microsoft.com/windows/win32/winprog64/
// shared-registry-keys), and AppCompatFlags is not among its shared keys.
// The Compatibility tab is Explorer's, a 64-bit program on 64-bit Windows,
// so its values for all users are in the 64-bit view; a 32-bit tool's
// land in the 32-bit one. Which view Windows itself reads no page says:
// both are read, and joined (32-bit Windows ignores the flags: one key,
// read twice).
TextValue CompatibilityLayers(const TextValue& program) {
  const platform::HKEY machine = platform::HKeyLocalMachine();
  return LayersIn(platform::HKeyCurrentUser(), program, platform::kKeyWow64_64Key) + " " +
         LayersIn(machine, program, platform::kKeyWow64_64Key) + " " +
         LayersIn(machine, program, platform::kKeyWow64_32Key);
}

bool NamesLayer(const TextValue& layers, std::string_view layer) {
  const std::string_view text = layers.View();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end - start == layer.size()) {
      bool same = true;
      for (std::size_t i = 0; i < layer.size(); ++i) {
        same = same && std::toupper(static_cast<unsigned char>(text[start + i])) ==
                           std::toupper(static_cast<unsigned char>(layer[i]));
      }
      if (same) return true;
    }
    start = end + 1;
  }
  return false;
}

// PCA gives this layer to a program without a manifest whose child failed
// to start with 740; from its next run on, CreateProcess asks for the
// child's rights and starts it elevated ("Using the ElevateCreateProcess
// Fix", learn.microsoft.com/previous-versions/windows/it-pro/windows-7/
// cc722422(v=ws.10); the PCA page above; Windows Server 2008's policy
// text for it, DetectUpdateFailuresExplain in pca.adml: "the PCA will
// apply the ELEVATECREATEPROCESS compatibility mode"). All of it is documented for
// Vista and 7; whether 10 and 11 still give it, no page says, so it is
// looked for on every Windows. Tidemark's path is the one its module was
// loaded by: a layer recorded under another spelling of it is not seen,
// and the run asks by a suspended start as without the layer.
bool CreateProcessElevates() {
  return NamesLayer(CompatibilityLayers(ModulePath()), "ELEVATECREATEPROCESS");
}

// What Windows reads before a start, besides installer detection and its
// own compatibility database ("How User Account Control works",
// learn.microsoft.com/windows/security/application-security/
// application-control/user-account-control/how-it-works): RUNASINVOKER
// overrules the manifest ("Using the RunAsInvoker Fix", .../windows-7/
// dd638389(v=ws.10)); RUNASADMIN is what "Run this program as an
// administrator" writes (seen in the values; no page lists the names);
// "highestAvailable" and RUNASHIGHEST ask an administrator, whose token
// here is the filtered one, and run a standard user as he is ("Step 6:
// Create and Embed an Application Manifest (UAC)", learn.microsoft.com/
// previous-versions/bb756929(v=msdn.10)). A program that needs rights by
// the two unread signs is not recognised here: its start then asks for
// them itself, in a prompt naming it.
bool AsksForRights(const TextValue& program) {
  const TextValue layers = CompatibilityLayers(program);
  if (NamesLayer(layers, "RUNASINVOKER")) return false;
  if (NamesLayer(layers, "RUNASADMIN")) return true;
  const std::string level = ExecutionLevelOf(program);
  if (level == "requireAdministrator") return true;
  return (level == "highestAvailable" || NamesLayer(layers, "RUNASHIGHEST")) &&
         TokenAnswer(platform::kTokenElevationType) == platform::kTokenElevationTypeLimited;
}

}  // namespace tidemark
