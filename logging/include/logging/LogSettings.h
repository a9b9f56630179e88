// The logging configuration in the registry and the roots of the log folders.
#pragma once

#include <ov/Win32.h>

#include <string>

namespace OvKmfLogging {

extern const wchar_t kLoggingKey[]; // SOFTWARE\Orvanta\KMF\Logging

// A REG_DWORD setting of HKLM's 32-bit view, looked up under Logging\product\logName, then
// Logging\product, then Logging; 0xFFFFFFFF in the first two and any other type count as unset.
DWORD readLoggingSetting(const std::wstring& product, const std::wstring& logName, const wchar_t* name,
                         DWORD defaultValue);

enum class LogRootKind { Machine, User, LowIntegrity };

// The folder under which the Orvanta log tree of a kind of process lives; empty when none is known.
std::wstring logRoot(LogRootKind kind);

} // namespace OvKmfLogging
