// Micro-benchmarks of the work Tidemark does on each run: scanning the
// command line, splitting uo.cfg into lines and joining them again, and
// rendering the date.
#include <benchmark/benchmark.h>

#include <string>

#include "support/command_line.h"
#include "support/date_text.h"
#include "support/string_list.h"

namespace {

using tidemark::TextValue;

std::string ConfigurationText(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += i == lines / 2 ? "JournalSaveFile=C:\\Old\\Journal.txt"
                           : "Setting" + std::to_string(i) + "=value";
    text += "\r\n";
  }
  return text;
}

void BM_ScanCommandLine(benchmark::State& state) {
  std::string line = "\"C:\\Program Files\\Game\\tidemark.exe\"";
  for (int i = 0; i < state.range(0); ++i) line += " \"arg " + std::to_string(i) + "\" x\"y\"z";
  for (auto _ : state) {
    benchmark::DoNotOptimize(tidemark::CountParametersIn(line.c_str()));
    benchmark::DoNotOptimize(tidemark::CommandParameterIn(line.c_str(), 1));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_ScanCommandLine)->Arg(1)->Arg(16)->Arg(256);

void BM_SplitLines(benchmark::State& state) {
  const TextValue text(ConfigurationText(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    tidemark::TStringList lines;
    lines.SplitTextIntoLines(text);
    benchmark::DoNotOptimize(lines.LineCount());
  }
  state.SetBytesProcessed(state.iterations() * text.Length());
}
BENCHMARK(BM_SplitLines)->Arg(100)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

void BM_JoinLines(benchmark::State& state) {
  tidemark::TStringList lines;
  lines.SplitTextIntoLines(TextValue(ConfigurationText(static_cast<int>(state.range(0)))));
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const TextValue joined = lines.JoinLinesAsText();
    bytes += joined.Length();
    benchmark::DoNotOptimize(joined.Bytes());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_JoinLines)->Arg(100)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

void BM_RenderDateTime(benchmark::State& state, const char* pattern) {
  tidemark::PrepareLocaleTexts();
  const TextValue text(pattern);
  for (auto _ : state) benchmark::DoNotOptimize(tidemark::RenderDateTime(46362.6, text));
}
BENCHMARK_CAPTURE(BM_RenderDateTime, journal, "yyyy-mm-dd");
BENCHMARK_CAPTURE(BM_RenderDateTime, everything, "dddddd tt c aaaa mmmm 'text' AM/PM gg e");

}  // namespace

BENCHMARK_MAIN();
