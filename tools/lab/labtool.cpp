// labtool: the Windows side of the scenario lab, driven from Linux by the lab package (tools/lab). `probe` prints the
// product's machine state (lab.py turns it into JSON), `apply` changes it, `run` runs a program with a chosen
// token and as its debugger, `hold` holds a file, a named mutex or a deleted service until it is killed.
#include <install-common/ComPtr.h>
#include <ov/Folders.h>
#include <ov/Handle.h>
#include <ov/Str.h>
#include <ov/Win32.h>
#include <ov/Win32Registry.h>

#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::wstring>;

// What the probe looks at comes from the lab package (vocabulary.py), one line each on stdin:
// "key<TAB>PATH" (the key and every key below it), "value<TAB>PATH<TAB>NAME", "service<TAB>NAME" and
// "program<TAB>FILE NAME". Registry paths are below HKLM, always named in the 64-bit view, where the
// 32-bit view of SOFTWARE is SOFTWARE\Wow6432Node: so the probe reads both views and its paths say which
// view a value is in. labtool is a 32-bit program, and every registry call of it passes KEY_WOW64_64KEY.
const DWORD kKilledByLabExitCode = 0xDEAF; // a process ended by `apply kill`
const DWORD kKilledExitCode = 0xDEAD;

// One line of the probe: its kind, then the fields, separated by TAB, in UTF-8.
void emit(std::initializer_list<std::wstring> fields) {
    std::wstring line;
    for (const std::wstring& field : fields) {
        line += (line.empty() ? L"" : L"\t") + field;
    }
    std::printf("%s\n", ov::str::wideToUtf8(line).c_str());
}

Strings split(const std::wstring& text, wchar_t separator) {
    Strings fields;
    std::wistringstream stream(text + separator); // so that an empty last field counts
    for (std::wstring field; std::getline(stream, field, separator);) {
        fields.push_back(field);
    }
    return fields;
}

// False, with a message on stderr, when error is not 0.
bool check(DWORD error, const std::wstring& what) {
    if (error != ERROR_SUCCESS) {
        std::fprintf(stderr, "labtool: %s: error %lu\n", ov::str::wideToUtf8(what).c_str(), error);
    }
    return error == ERROR_SUCCESS;
}

// The key and (unless one value is asked for) every key below it; each value as its type and bytes.
void probeKey(ov::Win32Registry& registry, const std::wstring& path, const wchar_t* onlyValue) {
    Strings names, subKeys, values;
    std::vector<BYTE> data;
    DWORD type = 0;
    registry.enumerateValues(path, names);
    for (const std::wstring& name : names) {
        if ((onlyValue == nullptr || name == onlyValue) && registry.readValue(path, name, data, type)) {
            std::wstring hex;
            for (const BYTE b : data) {
                hex += {L"0123456789abcdef"[b >> 4], L"0123456789abcdef"[b & 15]};
            }
            values.insert(values.end(), {name, std::to_wstring(type), hex});
        }
    }
    if (registry.keyExists(path) && (onlyValue == nullptr || !values.empty())) {
        emit({L"key", path});
        for (size_t i = 0; i < values.size(); i += 3) {
            emit({L"value", path, values[i], values[i + 1], values[i + 2]});
        }
    }
    registry.enumerateSubKeys(path, subKeys);
    for (size_t i = 0; onlyValue == nullptr && i < subKeys.size(); ++i) {
        probeKey(registry, path + L"\\" + subKeys[i], nullptr);
    }
}

void probeService(const std::wstring& name) {
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ov::ScopedServiceHandle service(
        OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    std::vector<BYTE> buffer(8192); // the largest configuration the manager returns
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD size = 0;
    SERVICE_STATUS status = {};
    const wchar_t* const states[] = {L"unknown", L"stopped",          L"start pending", L"stop pending",
                                     L"running", L"continue pending", L"pause pending", L"paused"};
    if (QueryServiceConfigW(service.get(), config, 8192, &size) &&
        QueryServiceStatus(service.get(), &status)) {
        emit({L"service", config->lpBinaryPathName, std::to_wstring(config->dwStartType),
              std::to_wstring(config->dwServiceType),
              states[status.dwCurrentState < 8 ? status.dwCurrentState : 0]});
    }
}

// Relative paths of everything below the folder; folders end with a backslash.
Strings listTree(const std::wstring& folder) {
    Strings out;
    WIN32_FIND_DATAW data;
    const ov::ScopedFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    for (bool more = find.valid(); more; more = FindNextFileW(find.get(), &data) != FALSE) {
        const std::wstring name = data.cFileName;
        const bool inner = name != L"." && name != L"..",
                   isFolder = data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        out.insert(out.end(), inner ? 1 : 0, name + (isFolder ? L"\\" : L""));
        for (const std::wstring& below : inner&& isFolder ? listTree(folder + L"\\" + name) : Strings()) {
            out.push_back(name + L"\\" + below);
        }
    }
    return out;
}

// Target, arguments, working folder and icon. Wine keeps no AppUserModel properties in the file
// (reading them answers E_NOTIMPL): the installer's values are checked in install-common's tests.
void probeLink(const std::wstring& name, const std::wstring& path) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.putVoid())) ||
        FAILED(link.queryInterface(file)) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return;
    }
    wchar_t target[MAX_PATH] = {}, arguments[4096] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int iconIndex = 0;
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, 4096);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    emit({L"shortcut", name, target, arguments, folder, icon + (L"," + std::to_wstring(iconIndex))});
}

// Calls visit(process id, handle with the access, full path or, for a process stuck in Wine's
// start-up without a module path, its name) for every process of one of the names.
template <typename Visit>
void forEachProcess(const Strings& names, DWORD access, Visit visit) {
    const ov::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        for (const std::wstring& name : names) {
            if (_wcsicmp(entry.szExeFile, name.c_str()) == 0 &&
                entry.th32ProcessID != GetCurrentProcessId()) {
                const ov::ScopedHandle process(
                    OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
                wchar_t path[MAX_PATH] = {};
                DWORD size = MAX_PATH;
                const bool named = QueryFullProcessImageNameW(process.get(), 0, path, &size) != FALSE;
                // The id may belong to another process by now, once the listed one has ended.
                const wchar_t* file = std::wcsrchr(path, L'\\');
                if (!named || _wcsicmp(file != nullptr ? file + 1 : path, name.c_str()) == 0) {
                    visit(process.get(), named ? path : entry.szExeFile);
                }
            }
        }
    }
}

void probe(const std::vector<Strings>& what) {
    ov::Win32Registry hklm(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    Strings programs;
    for (const Strings& f : what) {
        if ((f[0] == L"key" && f.size() == 2) || (f[0] == L"value" && f.size() == 3)) {
            probeKey(hklm, f[1], f.size() == 3 ? f[2].c_str() : nullptr);
        } else if (f[0] == L"service" && f.size() == 2) {
            probeService(f[1]);
        } else if (f[0] == L"program" && f.size() == 2) {
            programs.push_back(f[1]);
        }
    }
    const HRESULT com = CoInitialize(nullptr);
    for (const auto& root : {std::make_pair(L"Desktop\\", ov::FolderId::CommonDesktop),
                             std::make_pair(L"Programs\\", ov::FolderId::CommonPrograms)}) {
        const std::wstring folder = ov::getFolderPath(root.second);
        for (const std::wstring& entry : listTree(folder)) {
            if (entry.size() > 4 && _wcsicmp(entry.c_str() + entry.size() - 4, L".lnk") == 0) {
                probeLink(root.first + entry, folder + L"\\" + entry);
            }
        }
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    forEachProcess(programs, 0,
                   [](HANDLE, const wchar_t* path) {
                       emit({L"process", path});
                   });
    // As the product finds the folders: from the Explorer folder keys, else from the shell.
    for (const auto& known : {std::make_pair(L"desktop", ov::FolderId::CommonDesktop),
                              std::make_pair(L"programs", ov::FolderId::CommonPrograms),
                              std::make_pair(L"program_data", ov::FolderId::CommonAppData),
                              std::make_pair(L"local_app_data", ov::FolderId::LocalAppData)}) {
        emit({L"folder", known.first, ov::getFolderPath(known.second)});
    }
}

// Gives the key (created when missing) this DACL.
DWORD setDacl(const std::wstring& key, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ov::ScopedRegKey handle;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        return GetLastError();
    }
    const ov::ScopedLocalMemory owner(descriptor);
    const LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                                       WRITE_DAC | KEY_WOW64_64KEY, nullptr, handle.put(), nullptr);
    return error != ERROR_SUCCESS ? error
                                  : RegSetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, descriptor);
}

DWORD deleteKeyOrValue(const Strings& f) {
    // A tree is deleted from its parent, opened in the 64-bit view: RegDeleteTreeW takes no view flag.
    const size_t cut = f[1].rfind(L'\\');
    const std::wstring parent = f.size() == 2 && cut != std::wstring::npos ? f[1].substr(0, cut) : f[1];
    ov::ScopedRegKey key;
    const REGSAM access = (f.size() == 2 ? KEY_ALL_ACCESS : KEY_SET_VALUE) | KEY_WOW64_64KEY;
    const LONG error = RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent.c_str(), 0, access, key.put());
    return error != ERROR_SUCCESS ? error
           : f.size() == 2        ? RegDeleteTreeW(key.get(), f[1].substr(cut + 1).c_str())
                                  : RegDeleteValueW(key.get(), f[2].c_str());
}

bool setValue(const Strings& f) {
    // Two spare non-NUL bytes: a NUL right after string data would be taken as its terminator.
    std::vector<BYTE> data(f[4].size() / 2 + 2, 0xFF);
    for (size_t i = 0; i + 1 < f[4].size(); i += 2) {
        data[i / 2] = static_cast<BYTE>(std::stoul(f[4].substr(i, 2), nullptr, 16));
    }
    ov::ScopedRegKey key;
    LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, f[1].c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                                 nullptr, key.put(), nullptr);
    error = error
                ? error
                : RegSetValueExW(key.get(), f[2].c_str(), 0, std::stoul(f[3]), data.data(), f[4].size() / 2);
    return check(error, L"set " + f[1] + L" " + f[2]);
}

// Stops the service (bounded), deletes it and waits until the manager has forgotten it. A program
// that holds the service open keeps it "marked for delete" until it closes it: no wait then.
bool serviceDelete(const std::wstring& name, bool wait) {
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ov::ScopedServiceHandle service(
        OpenServiceW(manager.get(), name.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    SERVICE_STATUS status = {};
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status); // a stopped service refuses: fine
    for (int i = 0;
         i < 300 && QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
         ++i) {
        Sleep(100);
    }
    if (service && !DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
        return check(GetLastError(), L"delete service " + name);
    }
    service.reset();
    for (int i = 0; wait && i < 300 && ov::ScopedServiceHandle(OpenServiceW(manager.get(), name.c_str(), 0));
         ++i) {
        Sleep(100);
    }
    return !wait ||
           check(GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : ERROR_SERVICE_MARKED_FOR_DELETE,
                 L"service-delete " + name);
}

bool apply(const Strings& f) {
    const std::wstring& op = f[0];
    DWORD error = ERROR_INVALID_PARAMETER;
    if (op == L"set" && f.size() == 5) {
        return setValue(f);
    } else if (op == L"delete" && (f.size() == 2 || f.size() == 3)) {
        // Wine grants DELETE whatever the DACL says, so a denied tree goes as it is; a value of a
        // denied key needs the key's DACL reset first.
        error = deleteKeyOrValue(f);
        error = error == ERROR_ACCESS_DENIED && setDacl(f[1], L"D:(A;;KA;;;WD)") == 0 ? deleteKeyOrValue(f)
                                                                                      : error;
        error = error == ERROR_FILE_NOT_FOUND ? 0 : error;
    } else if (op == L"deny" && f.size() == 2) {
        error = setDacl(f[1], L"D:P(A;;KR;;;WD)"); // everyone may read, nobody may write
    } else if (op == L"service-delete" && (f.size() == 2 || (f.size() == 3 && f[2] == L"nowait"))) {
        return serviceDelete(f[1], f.size() == 2);
    } else if (op == L"service-start" && f.size() == 2) {
        const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
        const ov::ScopedServiceHandle service(OpenServiceW(manager.get(), f[1].c_str(), SERVICE_START));
        error = service && StartServiceW(service.get(), 0, nullptr) ? 0 : GetLastError();
        error = error == ERROR_SERVICE_ALREADY_RUNNING ? 0 : error;
    } else if (op == L"kill" && f.size() == 2) {
        error = 0;
        forEachProcess({f[1]}, PROCESS_TERMINATE | SYNCHRONIZE, [&](HANDLE process, const wchar_t*) {
            TerminateProcess(process, kKilledByLabExitCode);
            error = WaitForSingleObject(process, 10000) == WAIT_OBJECT_0 ? error : ERROR_TIMEOUT;
        });
    }
    return check(error, op + L" " + (f.size() > 1 ? f[1] : L""));
}

// Runs the program as its debugger and counts the log records it mirrors to the debugger; the
// program stands still while a record is handled, so an action lands exactly between two records.
int run(const Strings& args) {
    bool restricted = false, noDebugPrivilege = false, actionsOk = true;
    std::vector<std::pair<std::wstring, std::wstring>> actions; // when, action; `when` emptied once done
    std::wstring command;
    size_t i = 0;
    for (; i < args.size() && args[i] != L"--"; ++i) {
        restricted = restricted || args[i] == L"--restricted";
        noDebugPrivilege = noDebugPrivilege || args[i] == L"--no-debug-privilege";
        if (args[i] == L"--on" && i + 2 < args.size()) {
            actions.emplace_back(args[i + 1], args[i + 2]);
            i += 2;
        }
    }
    for (++i; i < args.size(); ++i) {
        const bool plain = !args[i].empty() && args[i].find_first_of(L" \t\"") == std::wstring::npos;
        command += (command.empty() ? L"" : L" ") + (plain ? args[i] : L"\"" + args[i] + L"\"");
    }
    // A restricted copy of this process's token: without the Administrators group and/or without
    // SeDebugPrivilege (enabling it then fails with 1300) when asked, with the same rights otherwise.
    ov::ScopedHandle self, token;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(admins);
    SID_AND_ATTRIBUTES disabled = {admins, 0};
    LUID_AND_ATTRIBUTES deleted = {};
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (command.empty() || !OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, self.put()) ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &sidSize) ||
        !LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &deleted.Luid) ||
        !CreateRestrictedToken(self.get(), 0, restricted, &disabled, noDebugPrivilege, &deleted, 0, nullptr,
                               token.put()) ||
        !CreateProcessAsUserW(token.get(), nullptr, &command[0], nullptr, nullptr, FALSE,
                              actions.empty() ? 0 : DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup,
                              &info)) {
        check(GetLastError(), L"run " + command);
        return 2;
    }
    const ov::ScopedHandle process(info.hProcess), thread(info.hThread);
    // Debugged only until the last action, so the rest of the run has no debug events to wait for.
    unsigned records = 0;
    DEBUG_EVENT event = {};
    const auto pending = [&] {
        return std::any_of(actions.begin(), actions.end(), [](const auto& a) { return !a.first.empty(); });
    };
    for (DWORD status = DBG_CONTINUE; pending() && WaitForDebugEvent(&event, INFINITE) &&
                                      event.dwDebugEventCode != EXIT_PROCESS_DEBUG_EVENT;
         ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status)) {
        const OUTPUT_DEBUG_STRING_INFO& output = event.u.DebugString;
        const DWORD code = event.dwDebugEventCode;
        std::string text(code == OUTPUT_DEBUG_STRING_EVENT ? output.nDebugStringLength : 0, '\0');
        ReadProcessMemory(process.get(), output.lpDebugStringData, &text[0], text.size(), nullptr);
        records += code == OUTPUT_DEBUG_STRING_EVENT; // the logger mirrors narrow (UTF-8) records
        for (auto& action : actions) {
            const bool number = action.first.find_first_not_of(L"0123456789") == std::wstring::npos;
            if (!text.empty() && !action.first.empty() &&
                (number ? std::stoul(action.first) == records
                        : text.find(ov::str::wideToUtf8(action.first)) != std::string::npos)) {
                actionsOk = (action.second == L"kill" ? TerminateProcess(process.get(), kKilledExitCode) != 0
                                                      : apply(split(action.second, L'|'))) &&
                            actionsOk;
                action.first.clear();
            }
        }
        const bool breakpoint = event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT;
        status = code == EXCEPTION_DEBUG_EVENT && !breakpoint ? DBG_EXCEPTION_NOT_HANDLED : DBG_CONTINUE;
        ov::ScopedHandle image(code == CREATE_PROCESS_DEBUG_EVENT ? event.u.CreateProcessInfo.hFile
                               : code == LOAD_DLL_DEBUG_EVENT     ? event.u.LoadDll.hFile
                                                                  : nullptr);
    }
    DWORD exitCode = 0;
    if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
    } else if (!actions.empty()) {
        DebugActiveProcessStop(info.dwProcessId);
    }
    WaitForSingleObject(process.get(), INFINITE);
    GetExitCodeProcess(process.get(), &exitCode);
    std::printf("records %u\nexit %lu\n", records, exitCode);
    return actionsOk ? 0 : 3;
}

int hold(const Strings& args) {
    const std::wstring kind = args.size() >= 2 ? args[0] : L"";
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ov::ScopedServiceHandle service(
        kind == L"service" ? OpenServiceW(manager.get(), args[1].c_str(), DELETE) : nullptr);
    // A file without write or delete sharing; a deleted service stays "marked for delete" while a
    // handle to it is open.
    const ov::ScopedHandle handle(
        kind == L"file"
            ? CreateFileW(args[1].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
        : kind == L"mutex" ? CreateMutexW(nullptr, FALSE, args[1].c_str())
                           : nullptr);
    if (!(handle && WaitForSingleObject(handle.get(), INFINITE) != WAIT_FAILED) &&
        !(service && DeleteService(service.get()))) {
        check(GetLastError() ? GetLastError() : ERROR_INVALID_PARAMETER, L"hold " + kind);
        return 2;
    }
    std::puts("holding");
    std::fflush(stdout);
    Sleep(kind == L"mutex" && args.size() > 2 ? std::stoul(args[2]) : INFINITE);
    return kind == L"mutex" && !ReleaseMutex(handle.get()) ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const Strings args(argv + std::min(argc, 2), argv + argc);
    const std::wstring command = argc > 1 ? argv[1] : L"";
    bool applied = true;
    std::vector<Strings> lines; // probe and apply: one line each, fields separated by TAB
    for (std::string line; (command == L"probe" || command == L"apply") && std::getline(std::cin, line);) {
        line.erase(line.find_last_not_of('\r') + 1);
        lines.insert(lines.end(), line.empty() ? 0 : 1, split(ov::str::utf8ToWide(line), L'\t'));
    }
    if (command == L"probe") {
        probe(lines);
    } else if (command == L"apply") {
        for (size_t i = 0; applied && i < lines.size(); ++i) {
            applied = apply(lines[i]);
        }
    } else if (command == L"run" || command == L"hold") {
        return command == L"run" ? run(args) : hold(args);
    } else {
        std::fputs("usage: labtool probe|apply|run|hold ... (see tools/lab/runner.py)\n", stderr);
        return 2;
    }
    return applied ? 0 : 1;
}
