// user32 stand-in: the message box, recorded instead of shown.
#pragma once

#include <string>
#include <vector>

#include "standin_kernel.h"
#include "standin_types.h"

#define MB_OK 0x00000000
#define MB_ICONERROR 0x00000010
#define IDOK 1

// Records the call, prints the text to the error output and answers IDOK at once, as if the user
// had dismissed the box.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

namespace standin {

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT style;
    // The critical sections the calling thread held while the box was up, in the order entered.
    std::vector<const CRITICAL_SECTION*> held_sections;
};

// The message boxes shown since the last call, and forgets them.
std::vector<MessageBoxCall> TakeMessageBoxes();

}  // namespace standin
