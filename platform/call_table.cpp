#include "platform/platform.h"

namespace tidemark::platform {

CallTable& Calls() {
  static CallTable table;
  return table;
}

}  // namespace tidemark::platform
