#include "windows-check/report.h"

#include <algorithm>
#include <cstdio>

namespace tidemark::check {

namespace {

const char* Label(Verdict verdict) {
  switch (verdict) {
    case Verdict::Agree:
      return "agree";
    case Verdict::Differ:
      return "DIFFER";
    case Verdict::NotAvailable:
      return "not available here";
    case Verdict::Noted:
      return "noted";
  }
  return "";
}

}  // namespace

void Report::Compare(const std::string& what, const std::string& expected, const std::string& got,
                     const std::string& source, bool agrees) {
  Add(agrees ? Verdict::Agree : Verdict::Differ, what, expected, got, source);
}

void Report::NotAvailable(const std::string& what, const std::string& expected,
                          const std::string& got, const std::string& source) {
  Add(Verdict::NotAvailable, what, expected, got, source);
}

void Report::Note(const std::string& what, const std::string& got, const std::string& source) {
  Add(Verdict::Noted, what, "(not compared)", got, source);
}

void Report::Section(const std::string& title) {
  section_ = title;
  Print("\n" + title + "\n" + std::string(title.size(), '-') + "\n");
}

void Report::Say(const std::string& line) { Print(line + "\n"); }

void Report::Add(Verdict verdict, const std::string& what, const std::string& expected,
                 const std::string& got, const std::string& source) {
  verdicts_.push_back(verdict);
  Print(std::string("[") + Label(verdict) + "] " + section_ + ": " + what + "\n    expected: " +
        expected + "\n    got:      " + got + "\n    source:   " + source + "\n");
}

void Report::Print(const std::string& part) {
  std::fputs(part.c_str(), stdout);
  std::fflush(stdout);
  text_ += part;
}

int Report::Count(Verdict verdict) const {
  return static_cast<int>(std::count(verdicts_.begin(), verdicts_.end(), verdict));
}

std::string Report::Summary() const {
  return "Summary: " + Heading + ": " + std::to_string(Count(Verdict::Agree)) + " agree, " +
         std::to_string(Count(Verdict::Differ)) + " differ, " +
         std::to_string(Count(Verdict::NotAvailable)) + " not available here, " +
         std::to_string(Count(Verdict::Noted)) + " noted";
}

}  // namespace tidemark::check
