#pragma once

// The configuration pages' factories: one row per page this layer holds,
// each building the page for a sheet from the sheet's sections and device.
// The maintenance pages keep a table of their own beside them; the program's
// installer registers both.

#include <span>

#include "config/pages/detection_page.h"
#include "config/sheet/sheet_pages.h"

std::span<const SheetPageFactoryRow> ConfigPageFactories();

// The detection dialog's channel switch through the main window's channel
// bar and the key sender, on the GUI thread.
DetectionChannelSwitch MainWindowChannelSwitch();
