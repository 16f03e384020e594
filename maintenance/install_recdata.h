#pragma once

// Registers the recorded-data pages of the configuration sheet (Network
// Backup and Search List) and the General page's server-log download.
void InstallRecordedDataPages();
