// The texts a finished run leaves for the user: the box of its warnings and
// the "Details" of what it wrote where.
#pragma once

#include <QString>

#include "library/RunFrame.h"

namespace marrowgate::ui {

// A count as the window shows it, its digits grouped by three: "25,000".
QString grouped(long long count);

// The warnings box of a run; empty when the run left no warning.
QString run_warnings(const RunResult& result);

// What a finished run wrote where, a table in key order whose columns line up
// in a fixed-pitch font, and the parts it placed in no file.
QString run_details(const RunResult& result, const QString& lib_folder);

}  // namespace marrowgate::ui
