// What the run-time does around the entry procedure: prepare the code-page
// facts, hand over the command-line tail, and end the process abnormally
// when an error leaves the launch sequence.
#pragma once

#include <cstdint>
#include <functional>

namespace tidemark {

// The command-line tail: what follows the program name, as the run-time
// hands it to a GUI entry point.
const char* CommandTail(const char* commandLine);

// The caption of the abnormal-end box: the file-name part (after the last
// "\", else the last ":") of the module path as an 80-byte work area holds it,
// that is of its first 79 bytes. Points into `workArea`.
const char* AbnormalEndCaption(char (&workArea)[80], const char* modulePath);

// Shows "Abnormal program termination" and ends the process with exit code 3
// at once, without the exit-time procedures.
[[noreturn]] void EndAbnormally();

// Runs `body` and returns its result; any error that leaves it ends the
// process through EndAbnormally.
int RunGuarded(const std::function<int()>& body);

}  // namespace tidemark
