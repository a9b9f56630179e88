#include "ShellTestSupport.h"

#include "TestSupport.h"

#include <install-common/ComPtr.h>

#include <objidl.h>
#include <shlobj.h>

namespace shelltest {

namespace {

// Opened by the first capture, before any test redirects the registry.
ovtest::TestLog& shellTestLog() {
    static ovtest::TestLog log(L"shell-tests");
    return log;
}

std::wstring shellFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    return SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) == S_OK
               ? std::wstring(buffer)
               : std::wstring();
}

} // namespace

LogCapture::LogCapture() : log_(shellTestLog()), mark_(log_.mark()) {}

std::vector<std::string> LogCapture::records() const {
    return log_.recordsSince(mark_);
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
