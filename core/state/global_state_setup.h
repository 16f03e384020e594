#pragma once

#include <chrono>

// Allocates the shared state record, stores it in g_lpApp and gives it its
// defaults. The result is the result of loading CtrlFile.ini: 0 when that
// failed (the record then exists all the same, for shutdown to delete).
int CreateGlobalState();

// Deletes the record and clears g_lpApp; safe when there is none.
void DeleteGlobalState();

// Saves Setting.ini from any thread while the record exists: the record is
// created and deleted under the same lock. For a process that has to end
// while its GUI thread is held up. False when there is no record, when the
// lock could not be had within `bound`, or when the file was not written.
bool SaveSettingsWhileStateExists(std::chrono::milliseconds bound);
