#pragma once

// Registers the recorder pages built here with the configuration sheet:
// Timer Record, Date, Record Setting and Detection.
void InstallPages2b();
