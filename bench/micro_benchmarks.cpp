// Micro-benchmarks of the work Tidemark does on each run: scanning the
// command line, splitting uo.cfg into lines and joining them again, the
// update's three steps on lines in memory (load, the journal line's search,
// save), and rendering the date.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "launcher/client_configuration.h"
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

// A file in memory for the load, and a sink for the save: the update's own
// work, without the system's.
class MemoryStream : public tidemark::TStream {
 public:
  explicit MemoryStream(const std::string& bytes) : bytes_(bytes) {}
  std::int32_t ReadBytes(void* buffer, std::int32_t count) override {
    const auto n = static_cast<std::int32_t>(
        std::min<std::int64_t>(count, static_cast<std::int64_t>(bytes_.size()) - position_));
    std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
  }
  std::int32_t WriteBytes(const void*, std::int32_t count) override {
    written_ += count;
    return count;
  }
  std::int64_t MoveTo(std::int64_t offset, tidemark::SeekOrigin origin) override {
    if (origin == tidemark::SeekOrigin::FromCurrent) offset += position_;
    if (origin == tidemark::SeekOrigin::FromEnd) offset += static_cast<std::int64_t>(bytes_.size());
    return position_ = offset;
  }
  std::int64_t Written() const { return written_; }

 private:
  const std::string& bytes_;
  std::int64_t position_ = 0;
  std::int64_t written_ = 0;
};

// Which step of the update runs in the timed loop; the others are done once.
enum class Step : std::uint8_t { Load, Search, Save };

void BM_UpdateLines(benchmark::State& state, Step step) {
  const std::string text = ConfigurationText(static_cast<int>(state.range(0)));
  const TextValue journalLine("JournalSaveFile=C:\\New\\Journal.txt");
  tidemark::TStringList lines;
  MemoryStream file(text);
  lines.LoadLinesFromStream(file);
  for (auto _ : state) {
    if (step == Step::Load) {
      MemoryStream again(text);
      lines.LoadLinesFromStream(again);
    } else if (step == Step::Search) {
      benchmark::DoNotOptimize(tidemark::PointJournalAt(lines, journalLine));
    } else {
      MemoryStream sink(text);
      lines.SaveLinesToStream(sink);
      benchmark::DoNotOptimize(sink.Written());
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK_CAPTURE(BM_UpdateLines, load, Step::Load)
    ->Arg(100)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_UpdateLines, search, Step::Search)
    ->Arg(100)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_UpdateLines, save, Step::Save)
    ->Arg(100)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

void BM_RenderDateTime(benchmark::State& state, const char* pattern) {
  tidemark::PrepareLocaleTexts();
  const TextValue text(pattern);
  for (auto _ : state) benchmark::DoNotOptimize(tidemark::RenderDateTime(46362.6, text));
}
BENCHMARK_CAPTURE(BM_RenderDateTime, journal, "yyyy-mm-dd");
BENCHMARK_CAPTURE(BM_RenderDateTime, everything, "dddddd tt c aaaa mmmm 'text' AM/PM gg e");

}  // namespace

BENCHMARK_MAIN();
