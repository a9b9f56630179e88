#include "StandIns.h"

#include "TestSupport.h"

#include <ov/Win32.h>

#include <algorithm>

namespace ovtest {

namespace {

std::wstring withoutExtension(const std::wstring& path) {
    const std::wstring::size_type slash = path.find_last_of(L'\\');
    const std::wstring::size_type dot = path.find_last_of(L'.');
    return (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) ? path.substr(0, dot)
                                                                                       : path;
}

} // namespace

std::wstring standInFolder() {
    return binDir() + L"\\tests\\fixtures\\bin";
}

std::wstring placeStandIn(const std::wstring& folder, const std::wstring& exeName,
                          const std::string& settings) {
    const std::wstring target = folder + L"\\" + exeName;
    const std::wstring::size_type slash = target.find_last_of(L'\\');
    CreateDirectoryW(target.substr(0, slash).c_str(), nullptr);
    copyFile(standInFolder() + L"\\" + exeName, target);
    if (!settings.empty()) {
        writeFile(withoutExtension(target) + L".txt", settings);
    }
    return target;
}

std::vector<std::string> journalOf(const std::wstring& exePath) {
    return splitLines(readFile(withoutExtension(exePath) + L".journal"));
}

bool waitForJournalLine(const std::wstring& exePath, const std::string& line, unsigned timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const std::vector<std::string> lines = journalOf(exePath);
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) {
            return true;
        }
        if (GetTickCount64() - start > timeoutMs) {
            return false;
        }
        Sleep(50);
    }
}

StartedProcess::StartedProcess(const std::wstring& exePath) {
    std::wstring commandLine = quote(exePath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
    }
}

StartedProcess::~StartedProcess() {
    if (running()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 5000);
    }
}

bool StartedProcess::running() const {
    return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

unsigned long StartedProcess::exitCode(unsigned timeoutMs) const {
    if (!process_.valid() || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        return 0xFFFFFFFF;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

} // namespace ovtest
