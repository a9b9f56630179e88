// Where the running program and the system live on disk.
#pragma once

#include <ov/Win32.h>

#include <string>

namespace ov {

// Full path of a loaded module (null: the executable), however long; empty on failure.
std::wstring getModuleFileName(HMODULE module = nullptr);

// Folder of the running executable, without a trailing backslash; empty on failure.
std::wstring getExecutableFolder();

// The system folder (for example C:\Windows\system32); empty on failure.
std::wstring getSystemDirectory();

// A function a loaded module exports, as the caller's function pointer type; null when the module
// is null or lacks it (an older Windows, say). For functions that cannot be imported statically.
template <typename Function>
Function getExport(HMODULE module, const char* name) {
    // Through a plain function pointer type, which every compiler lets us cast to any other.
    return module == nullptr
               ? nullptr
               : reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace ov
