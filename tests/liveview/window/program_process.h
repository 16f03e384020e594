#pragma once

// The whole program as a process of its own: the program driver (what
// main() runs, with the operator's login typed into its dialog) started
// on a program folder prepared as an operator who logged in before has it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace program_process {

// The shipped files and skins, and Setting.ini with the device's address
// and the user name.
inline void PrepareProgramFolder(const std::filesystem::path& home, std::uint16_t port) {
    const std::filesystem::path built = KESTRUNE_BUILT_PROGRAM_DIR;
    for (const char* entry : {"CtrlFile.ini", "alarm.wav", "BMP", "res"}) {
        std::filesystem::copy(built / entry, home / entry,
                              std::filesystem::copy_options::recursive);
    }
    std::ofstream(home / "Setting.ini")
        << "[Kestrune]\r\nServer Name=127.0.0.1\r\nServerPort=" << port << "\r\nUsername=tresk\r\n";
}

// Starts the program driver with `home` as its folder and the given
// further environment entries ("NAME=value"); its standard error goes to
// `errorFile` when one is given. The pid, or -1.
inline pid_t StartProgram(const std::filesystem::path& home,
                          const std::vector<std::string>& extraEnvironment = {},
                          const std::filesystem::path& errorFile = {}) {
    // An entry given here replaces the inherited one of the same name.
    std::vector<std::string> replaced = {"KESTRUNE_HOME=", "QT_QPA_PLATFORM="};
    for (const std::string& entry : extraEnvironment) {
        replaced.push_back(entry.substr(0, entry.find('=') + 1));
    }
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool keep = true;
        for (const std::string& name : replaced) {
            if (entry.rfind(name, 0) == 0)
                keep = false;
        }
        if (keep)
            env.push_back(entry);
    }
    env.push_back("KESTRUNE_HOME=" + home.string());
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.insert(env.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = KESTRUNE_PROGRAM_DRIVER;
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!errorFile.empty()) {
        ::posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// Waits up to `bound` for the child to end; its wait status, or nothing.
inline std::optional<int> WaitForExit(pid_t pid, std::chrono::steady_clock::duration bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 || std::chrono::steady_clock::now() > until)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace program_process
