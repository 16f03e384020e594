#pragma once

#include <string_view>

// The program's texts by number. Message boxes, captions and tool-tips are
// looked up here; an unknown number gives an empty text.
std::string_view LoadText(unsigned id);

// Shows the message box of text `id` (OK button) through the platform's
// message function: modal on the GUI thread, posted from any other thread.
int ShowMessage(unsigned id, unsigned flags = 0);
