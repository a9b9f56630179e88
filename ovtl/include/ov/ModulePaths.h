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

} // namespace ov
