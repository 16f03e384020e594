#pragma once

#include <string>

// The application object: its start-up runs the whole life of the program on
// the GUI thread (state, buffers, settings, trace files, the login dialog, the
// process and streaming threads, the main window) and always reports false, so
// the exit routine follows at once and releases everything in a fixed order.
//
// Each step is a virtual function so that tests can watch the order and make
// any step fail; the real program uses them as they are.
class CDravelinApp {
public:
    CDravelinApp() = default;
    virtual ~CDravelinApp() = default;
    CDravelinApp(const CDravelinApp&) = delete;
    CDravelinApp& operator=(const CDravelinApp&) = delete;

    // Always false: there is no second message loop to run.
    bool InitInstance();
    // 0 when a release step failed, else the default exit code 0.
    int ExitInstance();

    const std::string& RegistryKey() const { return m_registryKey; }

    // Dialog results of the login dialog.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

protected:
    // Start-up steps, in order.
    virtual bool StartSockets();
    virtual void EnableControlContainer() {}
    virtual void SetRegistryKey(const std::string& company) { m_registryKey = company; }
    virtual int StoreLocalAddress();
    virtual void Enable3dControls() {}
    virtual int CreateGlobalState();
    virtual int ReadDisplayDpi();
    virtual int AllocateSystemBuffer();
    virtual int InitialSemaphore();
    virtual int LoadSettings();
    virtual void OpenTraceLogs();
    // Runs the login dialog once; returns its dialog result.
    virtual int RunLoginDialog();
    virtual int InitProcessResource();
    virtual int InitLoginResource();
    virtual void RunMainWindow();

    // Shutdown steps, in order.
    virtual int ExitLoginResource();
    virtual int ExitProcessResource();
    virtual int FreeSystemBuffer();
    virtual int FreeSystemSemaphore();
    virtual void FreeLanguageLibrary();
    virtual void FreeTraceLog();
    virtual void DeleteGlobalState();

private:
    std::string m_registryKey;
};
