#include <install-common/ExecuteApplication.h>

#include <logging/Log.h>
#include <ov/Handle.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <stdexcept>

namespace ExecuteApplication {

namespace {

// The privilege is adjusted at most once per run, whatever the outcome of the first attempt.
bool debugPrivilegeRequested = false;

// How long a terminated process may take to vanish from the process table, probed in steps.
constexpr DWORD disappearanceBudgetMs = 1000;
constexpr DWORD disappearanceProbeMs = 100;

constexpr DWORD modulePathCapacity = 260;
// Room for the longest path the kernel names an image with.
constexpr DWORD imagePathCapacity = 32768;

wchar_t asciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 0x20) : c;
}

std::wstring orEmpty(const wchar_t* text) {
    return text != nullptr ? std::wstring(text) : std::wstring();
}

// The process id stays in use for a moment after termination; a later step may reuse the
// executable's file only once it is gone.
void waitForDisappearance(DWORD processId) {
    for (DWORD budget = disappearanceBudgetMs; budget > 0;) {
        budget -= disappearanceProbeMs;
        Sleep(disappearanceProbeMs);
        const ov::ScopedHandle probe(OpenProcess(SYNCHRONIZE, FALSE, processId));
        if (!probe) {
            return;
        }
    }
}

// What is left of a killProcessesByName call's budget (twice its wait, shared by all its
// matches): any user may start copies of the product's programs, and each would otherwise cost
// a whole quit wait while the VPN is down.
class StopBudget {
public:
    explicit StopBudget(DWORD waitMs) : end_(GetTickCount64() + 2ull * waitMs) {}
    DWORD leftMs() const {
        const ULONGLONG now = GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }

private:
    const ULONGLONG end_;
};

// The kernel's name of the process's image; empty (last error set) when it cannot be read.
std::wstring queryImageName(HANDLE process) {
    std::wstring path(imagePathCapacity, L'\0');
    DWORD size = imagePathCapacity;
    if (!QueryFullProcessImageNameW(process, 0, &path[0], &size)) {
        return std::wstring();
    }
    path.resize(size);
    return path;
}

} // namespace

std::wstring buildCommandLine(const std::wstring& utilityPath, const std::wstring& arguments) {
    return L"\"" + utilityPath + L"\" " + arguments;
}

std::wstring toLowerAscii(const std::wstring& text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        c = asciiLower(c);
    }
    return lower;
}

bool equalsIgnoringAsciiCase(const std::wstring& left, const std::wstring& right) {
    return toLowerAscii(left) == toLowerAscii(right);
}

bool pathContainsFolder(const std::wstring& path, const std::wstring& folder) {
    return toLowerAscii(path).find(toLowerAscii(folder)) != std::wstring::npos;
}

unsigned long executeUtility(const std::wstring& utilityPath, const std::wstring& arguments,
                             const std::wstring& workingDirectory) {
    const std::wstring commandLine = buildCommandLine(utilityPath, arguments);
    OV_KMF_LOG(OvKmfLogging::Info, L"Executing: %ls", commandLine.c_str());

    // Process creation may write into the command line.
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info)) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Can't create process: %d", GetLastError());
        throw std::runtime_error("can't create process");
    }
    const ov::ScopedHandle process(info.hProcess);
    const ov::ScopedHandle thread(info.hThread);

    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    OV_KMF_LOG(OvKmfLogging::Info, L"%ls exit code %d", utilityPath.c_str(), exitCode);
    return exitCode;
}

void killProcessesByName(const wchar_t* exeName, DWORD timeoutMs, const wchar_t* folder) {
    if (!debugPrivilegeRequested) {
        debugPrivilegeRequested = true;
        enableDebugPrivilege();
    }

    const ov::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        OV_KMF_LOG(OvKmfLogging::Error, L"CreateToolhelp32Snapshot (of processes)");
        return;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    if (!Process32FirstW(snapshot.get(), &entry)) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Process32First failed with error %d", GetLastError());
        return;
    }
    const StopBudget budget(timeoutMs);
    do {
        OV_KMF_LOG(OvKmfLogging::Debug, L"Found PROCESS NAME:  %s", entry.szExeFile);
        if (!processCanBeTerminated(entry.szExeFile, entry.th32ProcessID, exeName, folder)) {
            continue;
        }
        OV_KMF_LOG(OvKmfLogging::Debug, L"Found matching PROCESS NAME:  %s", entry.szExeFile);

        ov::ScopedHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, entry.th32ProcessID));
        if (!process) {
            process.reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        }
        if (!process) {
            OV_KMF_LOG(OvKmfLogging::Error, L"Failed to OpenProcess: %d", GetLastError());
            continue;
        }

        // A match reached within the budget is asked to quit and waited for in full, so one or
        // two matches are stopped as always; the rest are terminated at once, and not probed.
        const bool askToQuit = budget.leftMs() > 0;
        if (askToQuit) {
            // The waits are logged here, in this function, as the records name it.
            const bool quitRequested = sendQuitCommandToProcess(entry.th32ProcessID);
            OV_KMF_LOG(OvKmfLogging::Debug, L"Waiting %d ms", timeoutMs);
            DWORD waitResult = WaitForSingleObject(process.get(), timeoutMs);
            OV_KMF_LOG(OvKmfLogging::Debug, L"Finished waiting with result %d", waitResult);
            // A process without windows may have created them since; ask once more.
            if (!quitRequested && sendQuitCommandToProcess(entry.th32ProcessID)) {
                OV_KMF_LOG(OvKmfLogging::Debug, L"Waiting %d ms", timeoutMs);
                waitResult = WaitForSingleObject(process.get(), timeoutMs);
                OV_KMF_LOG(OvKmfLogging::Debug, L"Finished waiting with result %d", waitResult);
            }
        }

        // Terminated also when it has ended already: the result does not matter either way.
        OV_KMF_LOG(OvKmfLogging::Info, L"Terminating process: %d. exe: %s", entry.th32ProcessID,
                   entry.szExeFile);
        TerminateProcess(process.get(), 0);
        process.reset();
        if (askToQuit) {
            waitForDisappearance(entry.th32ProcessID);
        }
    } while (Process32NextW(snapshot.get(), &entry));

    OV_KMF_LOG(OvKmfLogging::Debug, L"Done killing process");
}

bool sendQuitCommandToProcess(DWORD processId) {
    WindowEnumContext context;
    context.processId = processId;
    EnumWindows(enum_windows_callback, reinterpret_cast<LPARAM>(&context));
    if (context.windows.empty()) {
        return false;
    }
    bool allPosted = true;
    for (const HWND window : context.windows) {
        const BOOL posted = PostMessageW(window, WM_QUIT, 0, 0);
        OV_KMF_LOG(OvKmfLogging::Debug, L"PostMessage returned: %d, LE: %d", posted, GetLastError());
        allPosted = allPosted && posted != FALSE;
    }
    return allPosted;
}

BOOL CALLBACK enum_windows_callback(HWND window, LPARAM context) {
    WindowEnumContext& search = *reinterpret_cast<WindowEnumContext*>(context);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search.processId || GetWindow(window, GW_OWNER) != nullptr) {
        return TRUE;
    }
    OV_KMF_LOG(OvKmfLogging::Debug, L"Found window with process id: %d", processId);
    search.windows.push_back(window);
    return TRUE;
}

bool processCanBeTerminated(const wchar_t* exeFileName, DWORD processId, const wchar_t* wantedName,
                            const wchar_t* folder) {
    if (!equalsIgnoringAsciiCase(orEmpty(exeFileName), orEmpty(wantedName))) {
        return false;
    }
    if (folder == nullptr || folder[0] == L'\0') {
        return true;
    }

    const ov::ScopedHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Cannot open process handle for %d", processId);
        return false;
    }
    wchar_t modulePath[modulePathCapacity] = {};
    std::wstring path;
    if (K32GetModuleFileNameExW(process.get(), nullptr, modulePath, modulePathCapacity) != 0) {
        path = modulePath;
    } else {
        OV_KMF_LOG(OvKmfLogging::Error, L"Failed to get module filename, le=%d", GetLastError());
        // A 32-bit process cannot walk a 64-bit process's module list: a 64-bit client or
        // tunnel would keep running while its drivers are replaced. The image name serves then.
        path = queryImageName(process.get());
        if (path.empty()) {
            OV_KMF_LOG(OvKmfLogging::Error, L"QueryFullProcessImageNameW failed, le=%d", GetLastError());
            return false;
        }
        OV_KMF_LOG(OvKmfLogging::Info, L"Path read with QueryFullProcessImageNameW: %s", path.c_str());
    }
    OV_KMF_LOG(OvKmfLogging::Debug, L"Found candidate in path: %s", path.c_str());
    return pathContainsFolder(path, folder);
}

void enableDebugPrivilege() {
    ov::ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) {
        OV_KMF_LOG(OvKmfLogging::Error, L"Failed to OpenProcessToken. LE=%d", GetLastError());
        return;
    }
    LUID debugPrivilege = {};
    if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &debugPrivilege)) {
        OV_KMF_LOG(OvKmfLogging::Error, L"LookupPrivilegeValue error: %d", GetLastError());
        return;
    }
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = debugPrivilege;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr)) {
        OV_KMF_LOG(OvKmfLogging::Error, L"AdjustTokenPrivileges error: %d", GetLastError());
    }
    // AdjustTokenPrivileges succeeds also when the token lacks the privilege, and says so here.
    if (GetLastError() == ERROR_NOT_ALL_ASSIGNED) {
        OV_KMF_LOG(OvKmfLogging::Error, L"The token does not have the specified privilege.");
    }
    token.reset();
    OV_KMF_LOG(OvKmfLogging::Info, L"Adjusted token privilege.");
}

} // namespace ExecuteApplication
