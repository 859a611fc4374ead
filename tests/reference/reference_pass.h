#pragma once

#include "workbench/ui.h"
#include "workbench/workbench.h"

namespace kestrel::testing {

// The compile pass with the duplicate tests, the substitution and the label replacement written
// the plain way: every pair of names, a search from the start of the line after every
// replacement, the whole output rewritten once per label. The oracle for the fast pass; it is
// slow on purpose.
//
// It ends where the program's own rule does: definitions with an empty name are passed over, a
// value of its name's length loops once the line repeats a text, and any other definition loops
// after kReferenceStepCap replacements on one line. That cap stands in for the program's growth
// bound; a run that hits it must be one the program reports as a loop too.
inline constexpr int kReferenceStepCap = 600;

struct ReferenceRun {
  bool ok = false;  // it ended with "COMPILE OK"
  bool hit_step_cap = false;
};

ReferenceRun reference_compile(Workbench& wb, Ui& ui);

}  // namespace kestrel::testing
