#pragma once

// Connects the General page's "Server Log" button to the server-log
// download and its dialogs.
void InstallServerLogHooks();
