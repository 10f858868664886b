#pragma once

#include <memory>

#include "platform/desktop.h"

// The desktop services on Windows: the plain Win32 layer of platform/win32 behind the
// program's interface.
std::unique_ptr<TDesktopServices> CreateWin32DesktopServices();
