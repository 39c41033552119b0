// The texts a finished run leaves for the user: the box of its warnings and
// the "Details" of what it wrote where.
#pragma once

#include <QString>

#include "library/RunFrame.h"

namespace marrowgate::ui {

// The warnings box of a run; empty when the run left no warning.
QString run_warnings(const RunResult& result);

// What a finished run wrote where, and the parts it placed in no file.
QString run_details(const RunResult& result, const QString& lib_folder);

}  // namespace marrowgate::ui
