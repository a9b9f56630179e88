// A child process of the logging tests:
//   log-writer write NAMESPACE PRODUCT LOGNAME COUNT TAG [FLAGS]
//       opens the log and writes COUNT records "TAG record I of COUNT", then closes it;
//   log-writer hold LOCKNAME HELD_EVENT RELEASE_EVENT
//       takes a log's cross-process lock, signals HELD_EVENT and keeps the lock until
//       RELEASE_EVENT is signalled.
#include <logging/Log.h>
#include <ov/Win32.h>

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

int writeRecords(const std::vector<std::wstring>& args) {
    if (args.size() < 7) {
        return 2;
    }
    const int count = _wtoi(args[5].c_str());
    const unsigned flags = args.size() > 7 ? static_cast<unsigned>(wcstoul(args[7].c_str(), nullptr, 0)) : 0u;
    OvKmfLogging::open(args[2].c_str(), args[3].c_str(), args[4].c_str(), OvKmfLogging::Info, flags);
    // Long enough that a record split across two writes would show.
    const std::wstring padding(80, L'=');
    for (int i = 1; i <= count; ++i) {
        OV_KMF_LOG(OvKmfLogging::Info, L"%ls record %d of %d %ls|", args[6].c_str(), i, count,
                   padding.c_str());
    }
    OvKmfLogging::close();
    return 0;
}

int holdLock(const std::vector<std::wstring>& args) {
    if (args.size() < 5) {
        return 2;
    }
    HANDLE lock = CreateMutexW(nullptr, FALSE, args[2].c_str());
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[3].c_str());
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, args[4].c_str());
    if (lock == nullptr || held == nullptr || release == nullptr) {
        return 3;
    }
    if (WaitForSingleObject(lock, 10000) != WAIT_OBJECT_0) {
        return 4;
    }
    SetEvent(held);
    const DWORD waited = WaitForSingleObject(release, 120000);
    ReleaseMutex(lock);
    CloseHandle(release);
    CloseHandle(held);
    CloseHandle(lock);
    return waited == WAIT_OBJECT_0 ? 0 : 5;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return 2;
    }
    const std::vector<std::wstring> args(argv, argv + argc);
    LocalFree(argv);
    if (args.size() > 1 && args[1] == L"write") {
        return writeRecords(args);
    }
    if (args.size() > 1 && args[1] == L"hold") {
        return holdLock(args);
    }
    return 2;
}
