#include "core/session_login.h"

// Stand-in until the session login exists: nothing to log in to.
std::uint32_t LoginProcessThread() { return 0; }
