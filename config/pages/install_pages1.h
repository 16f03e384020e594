#pragma once

// Registers the network, account, mail, FTP, alarm, general, DDNS, file path
// and server time pages with the configuration sheet.
void InstallPagesOne();
