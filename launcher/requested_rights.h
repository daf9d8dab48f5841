// Elevation signs read without starting a program: its compatibility layers
// (the Layers values that the Compatibility tab and the Program
// Compatibility Assistant write) and the execution level of its manifest.
// Where the Program Compatibility Assistant gave Tidemark the
// ELEVATECREATEPROCESS layer, CreateProcess no longer fails with 740 for a
// program that needs rights: it asks for them itself, in a prompt naming
// that program, and starts it elevated. Tidemark's suspended start can then
// no longer ask Windows; these signs answer instead.
#pragma once

#include <string_view>

#include "support/text_value.h"

namespace tidemark {

// The compatibility layers Windows keeps for `program` (its path as given):
// the values named by it under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE
// "Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags\Layers",
// joined by a blank; empty where there is none.
TextValue CompatibilityLayers(const TextValue& program);

// Whether `layers` names `layer`: one of its blank-separated words, letters
// in either case.
bool NamesLayer(const TextValue& layers, std::string_view layer);

// Whether Tidemark itself runs with the ELEVATECREATEPROCESS layer.
bool CreateProcessElevates();

// Whether starting `program` asks for administrator rights that this
// process lacks, by its layers and its manifest (read as data, never run).
bool AsksForRights(const TextValue& program);

}  // namespace tidemark
