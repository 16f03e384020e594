#pragma once

#include <filesystem>
#include <vector>

namespace platform {

// The program's folder, where Setting.ini, alarm.wav, IPRecord.dat and the
// other files "beside the executable" live. In order:
// 1. $KESTRUNE_HOME when it is set and not empty;
// 2. the executable's folder (/proc/self/exe) when this user may write there;
// 3. $XDG_DATA_HOME/kestrune (~/.local/share/kestrune when XDG_DATA_HOME is
//    unset or not absolute), created when missing and seeded with the
//    installed assets: every file of the first existing assets folder that
//    the data folder lacks is copied in (files already there are kept);
// 4. the executable's folder anyway, when no home folder is known.
// The choice is made once per process (or after ResetProgramFolder) and is
// safe to ask for from any thread.
std::filesystem::path ProgramFolder();

// Fixes the answer of ProgramFolder() (tests).
void SetProgramFolder(std::filesystem::path folder);
// Drops the fixed answer and the remembered choice; the next call decides anew.
void ResetProgramFolder();

// The folder of the running executable; empty when /proc/self/exe cannot be read.
std::filesystem::path ExecutableFolder();

// The file of the running executable, to read it as a file: it stays
// readable even when the file at its path was replaced since the start.
std::filesystem::path RunningExecutable();

// What the choice above is made from, so each step can be tested without
// moving the executable.
struct ProgramFolderSources {
    std::filesystem::path executableFolder;
    // Seed folders, first existing one wins: "assets" beside the executable,
    // then the folder given at build time as KESTRUNE_ASSETS_DIR (if any).
    std::vector<std::filesystem::path> assetFolders;
};
ProgramFolderSources DefaultProgramFolderSources();
// Runs the steps above against `sources` and the environment, without
// remembering the result.
std::filesystem::path ResolveProgramFolder(const ProgramFolderSources& sources);

}  // namespace platform
