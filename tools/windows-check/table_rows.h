// The answers table's rows, each made in a folder of its own in the
// scratch folder, as rows of the report.
#pragma once

#include "windows-check/report.h"

namespace tidemark::check {

// `expectWrongAnswer` makes the first row expect an answer no Windows
// gives: a test that a differing answer is reported as one.
void ReportTable(Report& report, bool underWine, bool expectWrongAnswer);

}  // namespace tidemark::check
