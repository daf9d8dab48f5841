// The simulated process entry. The command line is rebuilt from /proc by the
// platform table, so argv is not needed here.
#include "platform/platform.h"

int main() { return tidemark::RunProgram(); }
