// Tidemark itself, run in the situations of a player's PC that a program can
// set up, against the recorder standing in for the client and the
// assistant; each measure of each run is a row of the report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows-check/facts.h"
#include "windows-check/report.h"

namespace tidemark::check {

enum class Place : std::uint8_t { Plain, ProgramFiles };
enum class Answer : std::uint8_t { None, Yes, No };

struct Situation {
  const char* title;
  const char* folder;  // in the scratch folder, or under Program Files
  Place place;
  bool storeCopy;          // a VirtualStore copy of uo.cfg is there first
  bool clientNeedsRights;  // uo.exe set to run as administrator
  Answer answer;           // what the person answers at Tidemark's prompt
  // What Windows and Tidemark are expected to do.
  const char* line;     // where the new JournalSaveFile line lands
  const char* save;     // how the file it lands in was saved
  const char* saveToo;  // a second answer that is as good, or null
  const char* started;  // the program started
  bool elevated;        // it runs elevated (else with the check's rights)
  int prompts;
  const char* source;
};

// A measure of a run: what is expected (empty where nothing is compared),
// what it was, and whether they agree.
struct Row {
  const char* what;
  std::string expected;
  std::string got = {};
  bool agrees = false;
};

class SituationRuns {
 public:
  SituationRuns(Report& report, const Facts& facts) : report_(report), facts_(facts) {}
  // Runs each situation of the place and reports it; `notRun` says why none
  // can run, where that is so.
  void RunAll(Place place, const std::string& notRun);

 private:
  void RunOne(const Situation& situation, const std::string& notRun);
  void Run(const Situation& situation, bool protectedPlace, std::vector<Row>& rows);

  Report& report_;
  const Facts& facts_;
  std::uint64_t plainMilliseconds_ = 0;
};

}  // namespace tidemark::check
