#pragma once

// Registers the sheet's serial-device, user-list, alarm-list and DVR camera
// pages (Peripheral, Online User Info, Alarm List, Device, DVR) with the
// configuration sheet.
void InstallDevicePages();
