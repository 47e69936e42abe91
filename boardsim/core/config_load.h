// Inside qxsimcore.dll: the configuration read when the process loads the board.
#pragma once

#include <windows.h>

// Reads the start-up configuration; called at process attach.
void LoadStartupConfig(HMODULE core);
// Shows, once, the message box about a start-up configuration that could not be used.
void ReportStartupProblem();
