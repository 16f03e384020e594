#pragma once

// Allocates the shared state record, stores it in g_lpApp and gives it its
// defaults. The result is the result of loading CtrlFile.ini: 0 when that
// failed (the record then exists all the same, for shutdown to delete).
int CreateGlobalState();

// Deletes the record and clears g_lpApp; safe when there is none.
void DeleteGlobalState();
