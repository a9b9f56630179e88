// Running the product's command-line utilities and taking down running product processes
// before their files are replaced. Everything is logged; only a utility that cannot be
// started is reported to the caller, as an exception.
#pragma once

#include <ov/Win32.h>

#include <string>
#include <vector>

namespace ExecuteApplication {

// What the window enumeration collects: the unowned top-level windows of one process, in the
// order in which the enumeration delivers them.
struct WindowEnumContext {
    DWORD processId = 0;
    std::vector<HWND> windows;
};

// Runs "utilityPath" arguments without a window, in workingDirectory (empty: ours), and waits
// without a time limit. Returns the child's exit code; throws std::runtime_error("can't create
// process") when the process cannot be created.
unsigned long executeUtility(const std::wstring& utilityPath, const std::wstring& arguments,
                             const std::wstring& workingDirectory);

// Asks every process whose executable is named exeName (and, unless folder is null or empty,
// whose path contains folder) to quit, waits up to timeoutMs, then terminates it. Never throws.
void killProcessesByName(const wchar_t* exeName, DWORD timeoutMs, const wchar_t* folder);

// Posts WM_QUIT to every unowned top-level window of the process. True only when there was
// at least one window and every post succeeded.
bool sendQuitCommandToProcess(DWORD processId);

// EnumWindows callback; context is a WindowEnumContext*. Always continues the enumeration.
BOOL CALLBACK enum_windows_callback(HWND window, LPARAM context);

// True when the process's executable is named wantedName (ASCII letters compared without
// case) and, unless folder is null or empty, its full path contains folder.
bool processCanBeTerminated(const wchar_t* exeFileName, DWORD processId, const wchar_t* wantedName,
                            const wchar_t* folder);

// Enables SeDebugPrivilege in this process's token, so that processes of other users can be
// opened; failures are logged only.
void enableDebugPrivilege();

// The rules, without any I/O.

// The command line handed to process creation: the path in quotation marks (unescaped), one
// blank, the arguments; the blank is there even when the arguments are empty.
std::wstring buildCommandLine(const std::wstring& utilityPath, const std::wstring& arguments);

// A copy in which only 'A'..'Z' are turned into 'a'..'z'; every other character is kept.
std::wstring toLowerAscii(const std::wstring& text);

// Equality in which only the ASCII letters are compared without regard to case.
bool equalsIgnoringAsciiCase(const std::wstring& left, const std::wstring& right);

// True when folder occurs anywhere in path, ASCII letters compared without case: a substring
// test, so sibling folders that begin with folder's last component match too.
bool pathContainsFolder(const std::wstring& path, const std::wstring& folder);

} // namespace ExecuteApplication
