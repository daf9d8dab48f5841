// The command-line scanner on any bytes: it never reads past the line, never
// fails, and its count agrees with the parameters it hands out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);  // stops at a zero byte
  const std::int32_t count = tidemark::CountParametersIn(line.c_str());
  for (std::int32_t index = 1; index <= count; ++index) {
    const tidemark::TextValue parameter = tidemark::CommandParameterIn(line.c_str(), index);
    if (parameter.IsEmpty() || parameter.View().find('"') != std::string_view::npos)
      __builtin_trap();
  }
  if (!tidemark::CommandParameterIn(line.c_str(), count + 1).IsEmpty()) __builtin_trap();
  return 0;
}
