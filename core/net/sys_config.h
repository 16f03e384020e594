#pragma once

// Configuration sections: the device's configuration travels as fixed-size
// binary sections named by an option keyword, read with "/GetSysCfg.cgi" (one
// section, or all at once with "ALL") and written with "/SetSysCfg.cgi". The
// client keeps one copy of every section in SystemConfigStruct.

#include <cstdint>
#include <span>

#include "core/state/sys_config_sections.h"

// Reads one section into `destination` (its size is the "Size" sent): 1 when
// the reply held exactly that many bytes (ONLINE: at most that many, the rest
// of the destination zeroed), 0 otherwise with the destination untouched.
// "ALL" ignores the destination and fills every area of
// g_lpApp->SystemConfigStruct, split by the product's layout.
// Send and receive time-outs 45 s.
int ReadSysCfgSection(std::uint8_t option, std::span<std::uint8_t> destination);

// Sends one section as the body of "/SetSysCfg.cgi" (DNS with "Refresh");
// 1 for a status-200 reply. "ALL" cannot be written (0). Time-outs 15 s.
int WriteSysCfgSection(std::uint8_t option, std::span<const std::uint8_t> source,
                       bool refresh = false);
