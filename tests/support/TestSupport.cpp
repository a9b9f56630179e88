#include "TestSupport.h"

#include <ov/Str.h>
#include <ov/Win32.h>

#include <algorithm>
#include <cwctype>

namespace ovtest {

namespace {

std::wstring envOr(const wchar_t* name, const wchar_t* fallback) {
    wchar_t buffer[4096] = {};
    const DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
    return (n > 0 && n < 4096) ? std::wstring(buffer) : std::wstring(fallback);
}

bool sameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return towupper(x) == towupper(y);
           });
}

std::vector<wchar_t> buildEnvironmentBlock(const ChildEnvironment& env) {
    std::map<std::wstring, std::wstring> vars; // keyed by upper-case name, value "Name=value"
    LPWCH current = GetEnvironmentStringsW();
    for (const wchar_t* p = current; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) {
        const std::wstring entry(p);
        const std::wstring::size_type eq = entry.find(L'=', 1);
        if (eq == std::wstring::npos) {
            continue;
        }
        std::wstring name = entry.substr(0, eq);
        bool drop = env.set.count(name) != 0;
        for (const auto& kv : env.set) {
            drop = drop || sameName(kv.first, name);
        }
        for (const auto& u : env.unset) {
            drop = drop || sameName(u, name);
        }
        if (!drop) {
            std::wstring key = name;
            std::transform(key.begin(), key.end(), key.begin(), towupper);
            vars[key] = entry;
        }
    }
    FreeEnvironmentStringsW(current);
    for (const auto& kv : env.set) {
        std::wstring key = kv.first;
        std::transform(key.begin(), key.end(), key.begin(), towupper);
        vars[key] = kv.first + L"=" + kv.second;
    }
    std::vector<wchar_t> block;
    for (const auto& kv : vars) {
        block.insert(block.end(), kv.second.begin(), kv.second.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// A primary token of this process without the Administrators group, as a non-elevated
// user's process would have.
HANDLE createNonAdminToken() {
    HANDLE self = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &self)) {
        return nullptr;
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    HANDLE restricted = nullptr;
    if (AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                 0, &admins)) {
        SID_AND_ATTRIBUTES disable = {admins, 0};
        if (!CreateRestrictedToken(self, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted)) {
            restricted = nullptr;
        }
        FreeSid(admins);
    }
    CloseHandle(self);
    return restricted;
}

} // namespace

std::wstring binDir() {
    return envOr(L"OV_BIN_DIR", L".");
}
std::wstring srcDir() {
    return envOr(L"OV_SRC_DIR", L".");
}

TempDir::TempDir(const std::wstring& hint) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    path_ = std::wstring(temp) + hint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
    removeTree(path_);
}

std::string readFile(const std::wstring& path) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        content.append(buffer, read);
    }
    CloseHandle(file);
    return content;
}

bool writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool copyFile(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool copyTree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = copyTree(from + L"\\" + name, to + L"\\" + name) && ok;
        } else {
            ok = copyFile(from + L"\\" + name, to + L"\\" + name) && ok;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return ok;
}

void removeTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
        return;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                removeTree(path + L"\\" + name);
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

unsigned long runProcess(const std::wstring& commandLine, const ProcessOptions& options) {
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(L'\0');
    std::vector<wchar_t> environment = buildEnvironmentBlock(options.environment);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const wchar_t* cwd = options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();
    BOOL created = FALSE;
    if (options.asNonAdministrator) {
        HANDLE token = createNonAdminToken();
        if (token == nullptr) {
            return 0xFFFFFFFFul;
        }
        created =
            CreateProcessAsUserW(token, nullptr, command.data(), nullptr, nullptr, FALSE,
                                 CREATE_UNICODE_ENVIRONMENT, environment.data(), cwd, &startup, &process);
        CloseHandle(token);
    } else {
        created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                                 environment.data(), cwd, &startup, &process);
    }
    if (!created) {
        return 0xFFFFFFFFul;
    }
    DWORD code = 0xFFFFFFFEul;
    if (WaitForSingleObject(process.hProcess, options.timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 0xFFFFFFFEul);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::wstring quote(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring toWide(const std::string& utf8) {
    return ov::str::utf8ToWide(utf8);
}

std::string toUtf8(const std::wstring& wide) {
    return ov::str::wideToUtf8(wide);
}

} // namespace ovtest
