#pragma once

// The program's whole life on the calling (GUI) thread: the Qt application
// object, the services of the later subsystems, the termination signals, the
// application object's start-up and exit routine. Returns the exit code.
// main() is nothing but this, so that a test driver can run the program as
// it ships.
int RunKestrune(int argc, char* argv[]);
