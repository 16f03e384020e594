#include "core/process_control.h"

#include "core/app_state.h"
#include "core/subsystem_services.h"

// Until the process-control threads exist, these build nothing and release
// only what start-up itself may have left.

int InitProcessResource() { return 1; }

int InitLoginResource() {
    if (g_lpApp != nullptr) g_lpApp->b_RecordOptions[0] = 0;
    return 1;
}

int ExitLoginResource() { return 1; }

int ExitProcessResource() {
    if (g_lpApp == nullptr) return 1;
    Media().StopFrameTimer();
    LiveView().FreeCtrlFileRecords();
    LiveView().DeleteMemoryDC();
    g_lpApp->NetworkBackupState.mutexHandle.reset();
    return 1;
}
