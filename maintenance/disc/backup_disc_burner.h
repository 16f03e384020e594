#pragma once

// Lets a backup download write its file to a disc through the program's disc
// writer: registers the burner that the Network Backup page and the download
// thread use.
void InstallBackupDiscBurner();
