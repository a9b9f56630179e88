#include "ShellTestSupport.h"

#include "TestSupport.h"

#include <install-common/ComPtr.h>
#include <logging/Log.h>
#include <logging/LogPaths.h>

#include <objidl.h>
#include <shlobj.h>

namespace shelltest {

namespace {

const wchar_t kLogProduct[] = L"KelvaraTests";
const wchar_t kLogName[] = L"shell-tests";

std::optional<std::wstring> readHklmString(const std::wstring& key, const std::wstring& valueName,
                                           REGSAM view) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t buffer[2048] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = REG_NONE;
    const LONG result =
        RegQueryValueExW(handle, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    return std::wstring(buffer);
}

// The folder the logger picks for an administrator process: its configured root, else the
// common application data folder.
std::wstring logFilePath() {
    std::optional<std::wstring> root =
        readHklmString(L"SOFTWARE\\Orvanta\\KMF\\Logging", L"RootPath", KEY_WOW64_32KEY);
    if (!root || root->empty()) {
        root = readHklmString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                              L"Common AppData", 0);
    }
    if (!root || root->empty()) {
        wchar_t buffer[MAX_PATH] = {};
        ExpandEnvironmentStringsW(L"%ProgramData%", buffer, MAX_PATH);
        root = buffer;
    }
    return OvKmfLogging::logFolder(*root, L"", kLogProduct) + L"\\" + kLogName + L".log";
}

std::wstring shellFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    return SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK
               ? std::wstring(buffer)
               : std::wstring();
}

} // namespace

LogCapture::LogCapture() : path_(logFilePath()) {
    static const bool opened = [] {
        OvKmfLogging::open(kLogProduct, kLogName, OvKmfLogging::Verbose, 0);
        return true;
    }();
    (void)opened;
    // The log may rotate while a test runs, so the capture starts after a record of its own
    // rather than at a file offset; at the one level no configured threshold filters out.
    static unsigned captures = 0;
    marker_ = "shell test capture " + std::to_string(++captures) + " at " + std::to_string(GetTickCount64());
    OvKmfLogging::write(OvKmfLogging::Fatal, "%s", marker_.c_str());
}

std::vector<std::string> LogCapture::records() const {
    OvKmfLogging::flush();
    std::string text = ovtest::readFile(path_);
    std::string::size_type at = text.find(marker_);
    if (at == std::string::npos) {
        const std::string older =
            ovtest::readFile(OvKmfLogging::generationFileName(path_.substr(0, path_.size() - 4), 1));
        at = older.find(marker_);
        text = at == std::string::npos ? std::string() : older + text;
    }
    std::vector<std::string> result;
    if (at == std::string::npos) {
        return result;
    }
    const std::string::size_type next = text.find('\n', at);
    for (const std::string& line :
         ovtest::splitLines(next == std::string::npos ? std::string() : text.substr(next + 1))) {
        const std::string::size_type ids = line.find("] ");
        if (ids != std::string::npos) {
            result.push_back(line.substr(ids + 2));
        }
    }
    return result;
}

std::vector<std::string> LogCapture::matching(const std::string& text) const {
    std::vector<std::string> result;
    for (const std::string& record : records()) {
        if (record.find(text) != std::string::npos) {
            result.push_back(record);
        }
    }
    return result;
}

namespace {

bool keyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

bool keyIsEmpty(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    DWORD subKeys = 1;
    DWORD values = 1;
    RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    RegCloseKey(handle);
    return subKeys == 0 && values == 0;
}

} // namespace

RegistryValueRestorer::RegistryValueRestorer(std::wstring key, std::wstring valueName)
    : key_(std::move(key)), valueName_(std::move(valueName)) {
    // The keys of the path a test may create and that are removed again when left empty.
    for (std::wstring path = key_; !path.empty() && !keyExists(path);) {
        missingKeys_.push_back(path);
        const std::wstring::size_type cut = path.rfind(L'\\');
        path = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
    }
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key_.c_str(), valueName_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_,
                     nullptr, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> data(size);
        if (RegGetValueW(HKEY_LOCAL_MACHINE, key_.c_str(), valueName_.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                         &type_, data.data(), &size) == ERROR_SUCCESS) {
            data.resize(size);
            data_ = std::move(data);
        }
    }
}

RegistryValueRestorer::~RegistryValueRestorer() {
    if (data_) {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                            nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(handle, valueName_.c_str(), 0, type_, data_->data(),
                           static_cast<DWORD>(data_->size()));
            RegCloseKey(handle);
        }
    } else {
        deleteValue(key_, valueName_);
    }
    for (const std::wstring& key : missingKeys_) {
        if (keyIsEmpty(key)) {
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
        }
    }
}

bool setString(const std::wstring& key, const std::wstring& valueName, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), valueName.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool deleteValue(const std::wstring& key, const std::wstring& valueName) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_SET_VALUE, &handle) != ERROR_SUCCESS) {
        return false;
    }
    const bool deleted = RegDeleteValueW(handle, valueName.c_str()) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return deleted;
}

std::wstring commonDesktop() {
    return shellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
}
std::wstring commonPrograms() {
    return shellFolder(CSIDL_COMMON_PROGRAMS);
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool createFolder(const std::wstring& path) {
    const int result = SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS;
}

bool touchFile(const std::wstring& path) {
    return ovtest::writeFile(path, "stand-in");
}

void removeAll(const std::vector<std::wstring>& files, const std::vector<std::wstring>& folders) {
    for (const std::wstring& file : files) {
        DeleteFileW(file.c_str());
    }
    for (const std::wstring& folder : folders) {
        RemoveDirectoryW(folder.c_str());
    }
}

std::optional<LoadedShortcut> loadShortcut(const std::wstring& path) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.putVoid()))) {
        return std::nullopt;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link.queryInterface(file)) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    LoadedShortcut shortcut;
    wchar_t buffer[MAX_PATH] = {};
    if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) {
        shortcut.target = buffer;
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) {
        shortcut.workingDirectory = buffer;
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH, &shortcut.iconIndex))) {
        shortcut.iconPath = buffer;
    }
    buffer[0] = L'\0';
    if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH))) {
        shortcut.arguments = buffer;
    }
    return shortcut;
}

} // namespace shelltest
