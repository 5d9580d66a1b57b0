#pragma once

// Limits the DLLs loaded by name from now on to the system folder; the first
// thing the entry point does.
void restrictDllSearch();
