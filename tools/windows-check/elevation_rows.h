// What the check reads back of what Windows did about rights: the working
// folder its own elevated copy got, the answer to a rename in a folder
// whose writes are virtualized, and the compatibility layers Windows gave
// the copies of Tidemark after the runs.
#pragma once

#include <string>

#include "windows-check/facts.h"
#include "windows-check/program_files.h"
#include "windows-check/report.h"

namespace tidemark::check {

void ReportElevatedFolder(Report& report, const Facts& facts, const ProgramFilesSetUp& setUp);
void ReportVirtualizedRename(Report& report, const Facts& facts, const std::string& notRun);
void ReportLayers(Report& report, const Facts& facts, const std::string& notRun);

}  // namespace tidemark::check
