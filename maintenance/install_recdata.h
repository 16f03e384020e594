#pragma once

// Registers the recorded-data pages of the configuration sheet (Network
// Backup and Search List), the General page's server-log download and the
// disc writer that a backup download can burn its file with.
void InstallRecordedDataPages();
