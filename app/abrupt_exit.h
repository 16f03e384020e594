#pragma once

// exit() called while the program runs (Qt's X11 platform calls exit(1)
// when the connection to the display server breaks) would destroy the
// objects of static storage duration under the program's threads, which
// still run and use them (the clock source, the window registry, the trace
// log). While a guard lives, such an exit saves Setting.ini and ends the
// process at once with the exit's status, before any static object is
// destroyed; the desktop that went away gets the same settings as from a
// logout's SIGTERM.
//
// How it runs first: exit() on a thread destroys that thread's thread_local
// objects before any static one. The guard arms a thread_local sentinel of
// the GUI thread, whose destructor puts the ending at the head of the exit
// handlers. An exit() from another thread is caught by a handler registered
// with the guard, which runs before the static objects created before it.
//
// One guard, on the GUI thread, for the program's life; the normal way out
// (the guard gone) runs every exit handler as usual.
class AbruptExitGuard {
public:
    AbruptExitGuard();
    ~AbruptExitGuard();
    AbruptExitGuard(const AbruptExitGuard&) = delete;
    AbruptExitGuard& operator=(const AbruptExitGuard&) = delete;
};
