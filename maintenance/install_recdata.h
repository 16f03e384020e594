#pragma once

// Registers the recorded-data pages of the configuration sheet: Network
// Backup and Search List.
void InstallRecordedDataPages();
