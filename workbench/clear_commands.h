#pragma once

#include "workbench/workbench.h"

namespace kestrel {

// The four small commands of the window; none of them can fail or shows anything.

// Command1, "Clear" on the destination side.
void clear_output_command(Workbench& wb);
// Command2, "Clear" on the source side: also disables Compile.
void clear_source_command(Workbench& wb);
// Command7, "x" beside the source path: the next Open asks with the dialog.
void clear_source_path_command(Workbench& wb);
// Command8, "x" beside the destination path: the next Save asks with the dialog.
void clear_destination_path_command(Workbench& wb);

}  // namespace kestrel
