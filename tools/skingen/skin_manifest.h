#pragma once

// Every file the skin generator writes, as paths relative to the program's
// folder ('/'-separated), each once, sorted. The copy-program table of the
// live view is built from this list, so it names exactly the skin files a
// built program has beside it.

#include <string>
#include <vector>

namespace skingen {

std::vector<std::string> SkinFilePaths();

}  // namespace skingen
