#include "launcher/shell_start.h"

namespace tidemark {

namespace {

template <typename Function>
Function Find(const char* dll, const char* name) {
  platform::HMODULE module = platform::LoadLibraryA(dll);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(platform::GetProcAddress(module, name));
}

// A single-threaded COM apartment on this thread while the shell works, as
// ShellExecuteEx asks of its callers; left as it was found afterwards.
class ComApartment {
 public:
  ComApartment() {
    const auto initialize = Find<platform::CoInitializeExFunction>("ole32.dll", "CoInitializeEx");
    uninitialize_ = Find<platform::CoUninitializeFunction>("ole32.dll", "CoUninitialize");
    // S_OK, or S_FALSE when it was already so: either is undone once.
    constexpr platform::LONG kSFalse = 1;
    if (initialize == nullptr || uninitialize_ == nullptr) return;
    const platform::LONG result =
        initialize(nullptr, platform::kCoinitApartmentThreaded | platform::kCoinitDisableOle1Dde);
    entered_ = result == 0 || result == kSFalse;
  }
  ~ComApartment() {
    if (entered_) uninitialize_();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  platform::CoUninitializeFunction uninitialize_ = nullptr;
  bool entered_ = false;
};

// The last error of a call that failed, never 0: where it set none,
// ERROR_GEN_FAILURE (31), so that a failure is never taken for a start.
platform::DWORD FailureError() {
  const platform::DWORD error = platform::GetLastError();
  return error != 0 ? error : 31;
}

}  // namespace

platform::DWORD StartThroughShell(const ShellRequest& request) {
  const auto execute = Find<platform::ShellExecuteExAFunction>("shell32.dll", "ShellExecuteExA");
  if (execute == nullptr) return FailureError();
  const ComApartment apartment;
  platform::SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  // No error box of the shell's own (SEE_MASK_FLAG_NO_UI: "Do not display
  // an error message box"; Tidemark reports a failure itself), and done
  // before the call returns: the process ends right after it.
  info.fMask = platform::kSeeMaskFlagNoUi | platform::kSeeMaskNoAsync |
               (request.SkipZoneCheck ? platform::kSeeMaskNoZoneChecks : 0);
  info.lpVerb = request.Verb;
  info.lpFile = request.File.Bytes();  // the whole name: nothing is split at a blank
  info.lpParameters = request.Parameters;
  info.lpDirectory = request.Directory;
  info.nShow = static_cast<int>(request.Show);
  if (execute(&info) != 0) return 0;
  return FailureError();  // read before the apartment is left
}

}  // namespace tidemark
