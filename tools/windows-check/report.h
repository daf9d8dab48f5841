// The one plain-text report a person pastes into a bug report: every row
// says what was checked, what Windows is expected to answer, what it
// answered here, where the expectation is written, and whether the two
// agree. Each row is printed as it comes, and the whole is written beside
// the program at the end.
#pragma once

#include <string>
#include <vector>

namespace tidemark::check {

enum class Verdict { Agree, Differ, NotAvailable, Noted };

class Report {
 public:
  // A row whose answer is compared with the expectation.
  void Compare(const std::string& what, const std::string& expected, const std::string& got,
               const std::string& source, bool agrees);
  void Compare(const std::string& what, const std::string& expected, const std::string& got,
               const std::string& source) {
    Compare(what, expected, got, source, got == expected);
  }
  // A row this system cannot answer (Wine has no User Account Control):
  // never a pass. `got` says why, and what happened all the same.
  void NotAvailable(const std::string& what, const std::string& expected, const std::string& got,
                    const std::string& source);
  // A measure that nothing is compared with (a time that holds the
  // person's answer at a prompt).
  void Note(const std::string& what, const std::string& got, const std::string& source);
  // A heading, or a plain line (what was made and removed).
  void Section(const std::string& title);
  void Say(const std::string& line);

  int Count(Verdict verdict) const;
  std::string Summary() const;
  const std::string& Text() const { return text_; }

  std::string Heading;  // what the summary names: the program and the system

 private:
  void Add(Verdict verdict, const std::string& what, const std::string& expected,
           const std::string& got, const std::string& source);
  void Print(const std::string& part);

  std::vector<Verdict> verdicts_;
  std::string section_;
  std::string text_;
};

}  // namespace tidemark::check
