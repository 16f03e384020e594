#pragma once

// The row flags of the skin button table as the running program sees them:
// the table's constants, less the rows the main window switches off for the
// device it connects to (older firmware without the search key, the PTZ
// control of multi-channel recorders). Readable from any thread.

#include <cstdint>

std::uint16_t SkinFlags(int family, int row);
// Clears every flag of one row of one family for the rest of the run.
void ClearSkinFlags(int family, int row);
// Back to the table's constants (tests).
void ResetSkinFlags();
