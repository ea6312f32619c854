// The window list read from the X server named by DISPLAY.
#pragma once

#include <memory>

#include "winuser.h"

namespace win32 {

// The list of the X server that DISPLAY names, connected on first use and
// again when DISPLAY changes; null when there is no reachable server.
std::shared_ptr<WindowList> X11WindowList();
// Closes the connection; the next X11WindowList() connects anew.
void DropX11WindowList();

}  // namespace win32
