// labtool: the Windows side of the scenario lab, driven from Linux by lab.py. `probe` prints the
// product's machine state as JSON, `apply` changes it, `run` runs a program with a chosen token and
// as its debugger, `hold` holds a file, a named mutex or a deleted service until it is killed.
#include <install-common/ComPtr.h>
#include <ov/Folders.h>
#include <ov/Handle.h>
#include <ov/Str.h>
#include <ov/Win32.h>
#include <ov/Win32Registry.h>

#include <propsys.h>
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
using Json = std::map<std::wstring, std::string>; // key -> JSON text; the map sorts the keys

const wchar_t* const kProductExes[] = {L"Kelvara.exe",       L"openvpn.exe",      L"ovvpnservice.exe",
                                       L"drivertool32.exe",  L"drivertool64.exe", L"ovdiag_32.exe",
                                       L"ovvpnuninstall.exe"};
// Below HKLM (64-bit view). With a value name only that value is shown, and the key only when it has it.
const std::pair<const wchar_t*, const wchar_t*> kProbedKeys[] = {
    {L"SOFTWARE\\Orvanta", nullptr},
    {L"SOFTWARE\\Wow6432Node\\Orvanta", nullptr},
    {L"SYSTEM\\CurrentControlSet\\Services\\Kelvara Service", nullptr},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"KelvaraAutoStart"},
    {L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvanta Kelvara", nullptr},
    {L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", L"PendingFileRenameOperations"},
    {L"SOFTWARE\\OvLab", nullptr}};
const DWORD kKilledByLabExitCode = 0xDEAF; // a process ended by `apply kill`
const DWORD kKilledExitCode = 0xDEAD;

std::string quote(const std::wstring& text) {
    std::string out = "\"";
    for (const unsigned char c : ov::str::wideToUtf8(text)) {
        char escaped[8] = {};
        const char* format = c < 0x20 ? "\\u%04x" : c == '"' || c == '\\' ? "\\%c" : "%c";
        std::snprintf(escaped, sizeof(escaped), format, c);
        out += escaped;
    }
    return out + "\"";
}

std::string obj(const Json& json) {
    std::string out;
    for (const auto& entry : json) {
        out += (out.empty() ? "{" : ",") + quote(entry.first) + ":" + entry.second;
    }
    return out.empty() ? "{}" : out + "}";
}

std::string list(Strings texts, bool sorted) {
    std::sort(texts.begin(), sorted ? texts.end() : texts.begin());
    std::string out;
    for (const std::wstring& text : texts) {
        out += (out.empty() ? "[" : ",") + quote(text);
    }
    return out.empty() ? "[]" : out + "]";
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

// REG_SZ with its NUL, REG_DWORD of 4 bytes and well-formed string lists as JSON values; anything
// else as its type and bytes, so that malformed data stays visible.
std::string valueJson(DWORD type, const std::vector<BYTE>& data) {
    const std::wstring units(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2);
    const bool terminated = data.size() % 2 == 0 && !units.empty() && units.back() == L'\0';
    Strings items = split(units.substr(0, units.size() - (terminated ? 1 : 0)), L'\0');
    if (type == REG_DWORD && data.size() == 4) {
        return std::to_string(*reinterpret_cast<const DWORD*>(data.data()));
    }
    if (type == REG_SZ && terminated) {
        return quote(units.substr(0, units.size() - 1));
    }
    // Strings each ending in NUL, then one more NUL (a single NUL: no string).
    if (type == REG_MULTI_SZ && terminated && (units.size() == 1 || units[units.size() - 2] == L'\0')) {
        items.pop_back();
        return list(items, false);
    }
    std::string hex;
    for (const BYTE b : data) {
        hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    }
    return "{\"hex\":\"" + hex + "\",\"type\":" + std::to_string(type) + "}";
}

// The key and (unless one value is asked for) every key below it, as path -> {name -> value}.
void probeKey(ov::Win32Registry& registry, const std::wstring& path, const wchar_t* onlyValue, Json& out) {
    Strings names, subKeys;
    Json values;
    std::vector<BYTE> data;
    DWORD type = 0;
    registry.enumerateValues(path, names);
    for (const std::wstring& name : names) {
        if ((onlyValue == nullptr || name == onlyValue) && registry.readValue(path, name, data, type)) {
            values[name] = valueJson(type, data);
        }
    }
    if (registry.keyExists(path) && (onlyValue == nullptr || !values.empty())) {
        out[path] = obj(values);
    }
    registry.enumerateSubKeys(path, subKeys);
    for (size_t i = 0; onlyValue == nullptr && i < subKeys.size(); ++i) {
        probeKey(registry, path + L"\\" + subKeys[i], nullptr, out);
    }
}

std::string probeService() {
    const ov::ScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ov::ScopedServiceHandle service(
        OpenServiceW(manager.get(), L"Kelvara Service", SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    std::vector<BYTE> buffer(8192); // the largest configuration the manager returns
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD size = 0;
    SERVICE_STATUS status = {};
    const wchar_t* const states[] = {L"unknown", L"stopped",          L"start pending", L"stop pending",
                                     L"running", L"continue pending", L"pause pending", L"paused"};
    if (!QueryServiceConfigW(service.get(), config, 8192, &size) ||
        !QueryServiceStatus(service.get(), &status)) {
        return "null";
    }
    return obj({{L"image", quote(config->lpBinaryPathName)},
                {L"start_type", std::to_string(config->dwStartType)},
                {L"service_type", std::to_string(config->dwServiceType)},
                {L"state", quote(states[status.dwCurrentState < 8 ? status.dwCurrentState : 0])}});
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

std::string probeLink(const std::wstring& path) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    ComPtr<IPropertyStore> store;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.putVoid())) ||
        FAILED(link.queryInterface(file)) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return "null";
    }
    wchar_t target[MAX_PATH] = {}, arguments[4096] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int iconIndex = 0;
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, 4096);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    Json result = {{L"target", quote(target)},
                   {L"arguments", quote(arguments)},
                   {L"working_directory", quote(folder)},
                   {L"icon_location", quote(icon + (L"," + std::to_wstring(iconIndex)))}};
    // The AppUserModel properties read as null under Wine: it keeps no property store in the file
    // and answers E_NOTIMPL.
    link->QueryInterface(IID_IPropertyStore, store.putVoid());
    for (const auto& property :
         {std::make_pair(L"app_user_model_id", 5), std::make_pair(L"start_pin_option", 12)}) {
        const PROPERTYKEY key = {
            {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}},
            static_cast<DWORD>(property.second)};
        PROPVARIANT value;
        PropVariantInit(&value);
        const bool read = store && SUCCEEDED(store->GetValue(key, &value));
        result[property.first] = read && value.vt == VT_LPWSTR ? quote(value.pwszVal)
                                 : read && value.vt == VT_I4   ? std::to_string(value.lVal)
                                                               : "null";
        PropVariantClear(&value);
    }
    return obj(result);
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

std::string probe(const Strings& folders) {
    Json registry, shortcuts, files;
    Strings processes;
    ov::Win32Registry hklm(HKEY_LOCAL_MACHINE);
    for (const auto& key : kProbedKeys) {
        probeKey(hklm, key.first, key.second, registry);
    }
    const HRESULT com = CoInitialize(nullptr);
    for (const auto& root : {std::make_pair(L"Desktop\\", ov::FolderId::CommonDesktop),
                             std::make_pair(L"Programs\\", ov::FolderId::CommonPrograms)}) {
        const std::wstring folder = ov::getFolderPath(root.second);
        for (const std::wstring& entry : listTree(folder)) {
            if (entry.size() > 4 && _wcsicmp(entry.c_str() + entry.size() - 4, L".lnk") == 0) {
                shortcuts[root.first + entry] = probeLink(folder + L"\\" + entry);
            }
        }
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    for (const std::wstring& folder : folders) {
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
            files[folder] = list(listTree(folder), true);
        }
    }
    forEachProcess(Strings(std::begin(kProductExes), std::end(kProductExes)), 0,
                   [&](HANDLE, const wchar_t* path) { processes.push_back(path); });
    return obj(
        {{L"registry", obj(registry)},
         {L"service", probeService()},
         {L"shortcuts", obj(shortcuts)},
         {L"files", obj(files)},
         {L"processes", list(processes, true)},
         // As the product finds the folders: from the Explorer folder keys, else from the shell.
         {L"folders", obj({{L"desktop", quote(ov::getFolderPath(ov::FolderId::CommonDesktop))},
                           {L"programs", quote(ov::getFolderPath(ov::FolderId::CommonPrograms))},
                           {L"program_data", quote(ov::getFolderPath(ov::FolderId::CommonAppData))},
                           {L"local_app_data", quote(ov::getFolderPath(ov::FolderId::LocalAppData))}})}});
}

// Gives the key (created when missing) this DACL.
DWORD setDacl(const std::wstring& key, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ov::ScopedRegKey handle;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) {
        return GetLastError();
    }
    const ov::ScopedLocalMemory owner(descriptor);
    const LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, WRITE_DAC, nullptr,
                                       handle.put(), nullptr);
    return error != ERROR_SUCCESS ? error
                                  : RegSetKeySecurity(handle.get(), DACL_SECURITY_INFORMATION, descriptor);
}

DWORD deleteKeyOrValue(const Strings& f) {
    ov::ScopedRegKey key;
    const LONG error = f.size() == 2
                           ? RegDeleteTreeW(HKEY_LOCAL_MACHINE, f[1].c_str())
                           : RegOpenKeyExW(HKEY_LOCAL_MACHINE, f[1].c_str(), 0, KEY_SET_VALUE, key.put());
    return error != ERROR_SUCCESS || f.size() == 2 ? error : RegDeleteValueW(key.get(), f[2].c_str());
}

bool setValue(const Strings& f) {
    // Two spare non-NUL bytes: a NUL right after string data would be taken as its terminator.
    std::vector<BYTE> data(f[4].size() / 2 + 2, 0xFF);
    for (size_t i = 0; i + 1 < f[4].size(); i += 2) {
        data[i / 2] = static_cast<BYTE>(std::stoul(f[4].substr(i, 2), nullptr, 16));
    }
    ov::ScopedRegKey key;
    LONG error = RegCreateKeyExW(HKEY_LOCAL_MACHINE, f[1].c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                 key.put(), nullptr);
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
    // Debugged only until the last action: under a Wine debugger, a C++ exception whose clean-up
    // closes a service handle unwinds into a corrupt frame (0xC0000005), which Windows never does.
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
    if (command == L"probe") {
        std::printf("%s\n",
                    probe(args.empty() ? Strings{L"C:\\Program Files (x86)\\Orvanta"} : args).c_str());
    } else if (command == L"apply") { // one operation a line, fields separated by TAB
        for (std::string line; applied && std::getline(std::cin, line);) {
            line.erase(line.find_last_not_of('\r') + 1);
            applied = line.empty() || apply(split(ov::str::utf8ToWide(line), L'\t'));
        }
    } else if (command == L"run" || command == L"hold") {
        return command == L"run" ? run(args) : hold(args);
    } else {
        std::fputs("usage: labtool probe|apply|run|hold ... (see tests/lab/lab.py)\n", stderr);
        return 2;
    }
    return applied ? 0 : 1;
}
