// The compatibility values Windows keeps per program path: the layers
// ("Run this program as an administrator" is RUNASADMIN; the Program
// Compatibility Assistant may add ElevateCreateProcess) and the
// assistant's own record of programs it has seen.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tidemark::check {

// HKCU ...\AppCompatFlags\Layers, the value named by the program's path.
// No Microsoft page documents the value's form: "~ RUNASADMIN" is what the
// Compatibility tab writes from Windows 8 on, "RUNASADMIN" what Windows 7's
// wrote; the check proves it took by the program's start answering 740.
bool SetRunAsAdministrator(const std::string& program, bool tildeForm);

// The keys of the user's Layers path that are not there yet, the deepest
// first: setting a layer makes them, and the clean-up removes them where
// they are empty again.
std::vector<std::string> MissingLayerKeys();
// Removes a key of HKCU that holds no value and no key; true if it did.
bool RemoveKeyIfEmpty(const std::string& key);

// The layers of programs in `folder`: "HKCU: path = layers", from the
// user's key and both views of the machine's.
std::vector<std::string> LayersWithin(const std::string& folder);

// Removes every value that names a program in `folder` from the user's
// Layers and the assistant's Store and Persisted keys; says which.
std::vector<std::string> RemoveValuesWithin(const std::string& folder);

}  // namespace tidemark::check
