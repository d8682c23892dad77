// The Windows seam: the one header through which product code reaches the Windows API.
//
// On Windows it is the system headers themselves. On Linux it is our stand-in, a shared library
// that provides the same functions with the behaviour the product relies on, plus test controls.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <winsock.h>
#else
#include "standin/win32_standin.h"
#endif
