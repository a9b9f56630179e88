// The one place that includes <windows.h>. Everything else includes this header.
#pragma once

// mingw-w64 defaults to an old Windows version and hides newer declarations;
// the build defines the version for every file, this catches a file built without it.
#if !defined(_WIN32_WINNT) || _WIN32_WINNT < 0x0601
#error "_WIN32_WINNT must be 0x0601 (Windows 7) or later; it is set by the build"
#endif

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>
