#pragma once

// The program's one installer of the configuration sheet's pages: the
// configuration pages' factory table and the recorded-data pages' (Network
// Backup and Search List), with what those pages reach through hooks: the
// detection dialog's channel switch, the General page's server-log download
// and the disc writer that a backup download can burn its file with.

#include <span>

#include "config/sheet/sheet_pages.h"

std::span<const SheetPageFactoryRow> RecordedDataPageFactories();

void InstallSheetPages();
