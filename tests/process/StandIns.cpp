#include "StandIns.h"

#include "TestSupport.h"

#include <ov/Win32.h>

#include <algorithm>

namespace ovtest {

namespace {

std::wstring withoutExtension(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'.'));
}

} // namespace

std::wstring placeStandIn(const std::wstring& folder, const std::wstring& exeName,
                          const std::string& settings) {
    const std::wstring target = folder + L"\\" + exeName;
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW(target.substr(0, target.find_last_of(L'\\')).c_str(), nullptr);
    copyFile(binDir() + L"\\tests\\fixtures\\bin\\" + exeName, target);
    if (!settings.empty()) {
        writeFile(withoutExtension(target) + L".txt", settings);
    }
    return target;
}

std::vector<std::string> journalOf(const std::wstring& exePath) {
    const std::string prefix = toUtf8(exePath) + ": ";
    std::vector<std::string> lines;
    for (const std::string& line : splitLines(readFile(L"C:\\ovlab\\journal.log"))) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            lines.push_back(line.substr(prefix.size()));
        }
    }
    return lines;
}

bool waitForJournalLine(const std::wstring& exePath, const std::string& line) {
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 20000; Sleep(50)) {
        const std::vector<std::string> lines = journalOf(exePath);
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) {
            return true;
        }
    }
    return false;
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

unsigned long StartedProcess::exitCode() const {
    DWORD code = 0xFFFFFFFF;
    if (process_.valid() && WaitForSingleObject(process_.get(), 5000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process_.get(), &code);
    }
    return code;
}

} // namespace ovtest
