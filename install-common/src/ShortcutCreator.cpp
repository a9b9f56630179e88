#include <install-common/ShortcutCreator.h>

#include <install-common/ComPtr.h>
#include <install-common/ProductKeys.h>
#include <install-common/ShortcutPaths.h>
#include <logging/Log.h>
#include <ov/Folders.h>
#include <ov/PathRules.h>
#include <ov/Win32Registry.h>

#include <objbase.h>
#include <objidl.h>
#include <propidl.h>
#include <propsys.h>
#include <shlobj.h>

#include <cstring>

using OvKmfLogging::Debug;
using OvKmfLogging::Error;
using OvKmfLogging::Fatal;
using OvKmfLogging::Info;
using OvKmfLogging::Warning;

namespace {

const wchar_t kProductNameValue[] = L"ProductName";
const wchar_t kInstallPathValue[] = L"AppPath";
const wchar_t kSupportToolLinkName[] = L"Support Tool.lnk";
const wchar_t kLnkExtension[] = L".lnk";

// The public AppUserModel property keys, spelled out because not every SDK declares both.
const PROPERTYKEY kAppUserModelId = {
    {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 5};
const PROPERTYKEY kAppUserModelStartPinOption = {
    {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 12};

// The rows of the shortcut plan, in the order they are made.
struct PlannedShortcut {
    bool onDesktop;   // else in the start-menu folder named after the application
    bool supportTool; // else the client, stamped with the app model id
};
const PlannedShortcut kShortcutPlan[] = {
    {true, false},
    {false, false},
    {false, true},
};

PropertyStoreQuery propertyStoreQuery = nullptr;

// The product key is read through one registry object in the process's default view.
ov::Win32Registry& ProductRegistry() {
    static ov::Win32Registry registry(HKEY_LOCAL_MACHINE, 0);
    return registry;
}

// Owns a property value and clears it (freeing any string it holds) on every way out.
class ScopedPropVariant {
public:
    ScopedPropVariant() { PropVariantInit(&value_); }
    ~ScopedPropVariant() { PropVariantClear(&value_); }
    ScopedPropVariant(const ScopedPropVariant&) = delete;
    ScopedPropVariant& operator=(const ScopedPropVariant&) = delete;
    PROPVARIANT& get() { return value_; }

private:
    PROPVARIANT value_;
};

std::wstring ReadKelvaraRegistryValue(const wchar_t* valueName) {
    std::wstring value;
    if (!ProductRegistry().readString(product::kProductKey, valueName, value)) {
        OV_KMF_LOG(Info, L"Cannot find registry value '%s'", valueName);
        return {};
    }
    return value;
}

ComPtr<IShellLinkW> CreateShellLinkObject() {
    ComPtr<IShellLinkW> link;
    const HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.putVoid());
    if (FAILED(result)) {
        OV_KMF_LOG(Error, L"CoCreateInstance error 0x%08x", static_cast<unsigned>(result));
        link.reset();
    }
    return link;
}

// The link's property store (or the one a test hands in).
HRESULT QueryPropertyStore(IShellLinkW* link, ComPtr<IPropertyStore>& store) {
    return propertyStoreQuery != nullptr ? propertyStoreQuery(link, store.put())
                                         : link->QueryInterface(IID_IPropertyStore, store.putVoid());
}

void SetAppModelId(IShellLinkW* link, const std::wstring& appModelId) {
    OV_KMF_LOG(Info, L"Setting AppModelId:%s", appModelId.c_str());
    ComPtr<IPropertyStore> store;
    if (FAILED(QueryPropertyStore(link, store))) {
        OV_KMF_LOG(Info, L"QueryInterface failed");
        return;
    }
    ScopedPropVariant value;
    const size_t bytes = (appModelId.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
    if (copy == nullptr) {
        OV_KMF_LOG(Info, L"property initialization error");
        return;
    }
    std::memcpy(copy, appModelId.c_str(), bytes);
    value.get().vt = VT_LPWSTR;
    value.get().pwszVal = copy;
    const HRESULT result = store->SetValue(kAppUserModelId, value.get());
    if (SUCCEEDED(result)) {
        store->Commit();
    } else {
        OV_KMF_LOG(Info, L"Error setting AppModelId property, err=%d", static_cast<int>(result));
    }
}

void SetNoPinToStartOnInstall(IShellLinkW* link, bool noPinToStartOnInstall) {
    ComPtr<IPropertyStore> store;
    if (FAILED(QueryPropertyStore(link, store))) {
        OV_KMF_LOG(Info, L"QueryInterface failed");
        return;
    }
    ScopedPropVariant value;
    value.get().vt = VT_I4;
    value.get().lVal = noPinToStartOnInstall ? 1 : 0;
    const HRESULT result = store->SetValue(kAppUserModelStartPinOption, value.get());
    if (SUCCEEDED(result)) {
        store->Commit();
    } else {
        OV_KMF_LOG(Info, L"Error setting NoPinToStartOnInstall property, err=%d", static_cast<int>(result));
    }
}

bool SaveShortcut(const std::wstring& linkPath, IShellLinkW* link, bool noPinToStartOnInstall,
                  const std::wstring& appModelId) {
    if (!appModelId.empty()) {
        SetAppModelId(link, appModelId);
    }
    SetNoPinToStartOnInstall(link, noPinToStartOnInstall);

    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid()))) {
        return false;
    }
    OV_KMF_LOG(Info, L"Saving %s", linkPath.c_str());
    HRESULT result = file->Save(linkPath.c_str(), FALSE);
    if (FAILED(result)) {
        OV_KMF_LOG(Error, L"Save failed: 0x%08x", static_cast<unsigned>(result));
        return false;
    }
    result = file->SaveCompleted(linkPath.c_str());
    if (FAILED(result)) {
        OV_KMF_LOG(Error, L"SaveCompleted failed: 0x%08x", static_cast<unsigned>(result));
    }
    return result == S_OK;
}

} // namespace

PropertyStoreQuery SetPropertyStoreQuery(PropertyStoreQuery query) {
    const PropertyStoreQuery previous = propertyStoreQuery;
    propertyStoreQuery = query;
    return previous;
}

ShortcutCreator::ShortcutCreator() : comInitialized_(SUCCEEDED(CoInitialize(nullptr))) {}

ShortcutCreator::~ShortcutCreator() {
    if (comInitialized_) {
        CoUninitialize();
    }
}

std::wstring ShortcutCreator::GetDesktopFolderPath() {
    std::wstring path = ov::getFolderPath(ov::FolderId::CommonDesktop);
    if (path.empty()) {
        OV_KMF_LOG(Fatal, L"Getting desktop folder path failed. Last error = %d",
                   static_cast<int>(GetLastError()));
    }
    return path;
}

std::wstring ShortcutCreator::GetStartMenuFolderPath() {
    wchar_t buffer[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) {
        OV_KMF_LOG(Fatal, L"Getting start menu folder path failed, last error = %d",
                   static_cast<int>(GetLastError()));
        return {};
    }
    return buffer;
}

bool ShortcutCreator::DeleteOldShortcut(const std::wstring& path) {
    OV_KMF_LOG(Info, L"Deleting old shortcut:%s", path.c_str());
    if (!DeleteFileW(path.c_str())) {
        OV_KMF_LOG(Info, L"Cannot delete old shortcut: %d", static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

bool ShortcutCreator::Rename(const std::wstring& from, const std::wstring& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    const DWORD error = GetLastError();
    OV_KMF_LOG(Info, L"MoveFileEx('%s', '%s') failed with %d", from.c_str(), to.c_str(),
               static_cast<int>(error));
    if (error == ERROR_ALREADY_EXISTS) {
        OV_KMF_LOG(Info, L"Destination already exists. Returning true.");
        return true;
    }
    return false;
}

void ShortcutCreator::RefreshDesktop() {
    const std::wstring desktop = GetDesktopFolderPath();
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, desktop.c_str(), nullptr);
}

bool ShortcutCreator::UpdateShortcuts(const std::wstring& applicationName, const std::wstring& appModelId,
                                      const std::wstring& clientPath, const std::wstring& supportToolPath) {
    OV_KMF_LOG(Debug, L"Updating shortcuts: '%s', '%s', '%s'", applicationName.c_str(), clientPath.c_str(),
               supportToolPath.c_str());
    RemoveOldShortcuts();
    if (!CreateShortcuts(applicationName, appModelId, clientPath, supportToolPath)) {
        OV_KMF_LOG(Error, L"Creating shortcuts failed");
        return false;
    }
    return true;
}

void ShortcutCreator::RemoveOldShortcuts() {
    const std::wstring desktop = GetDesktopFolderPath();
    const std::wstring productName = ReadKelvaraRegistryValue(kProductNameValue);
    if (productName.empty()) {
        OV_KMF_LOG(Info, L"Previous installation not detected: ProductName is missing");
        return;
    }
    const std::wstring linkName = EnsureLnkExtension(productName);

    // A folder that could not be found has been logged already; paths built on it would be
    // relative to the current folder, so those steps are left out.
    if (!desktop.empty()) {
        const std::wstring path = BuildShortcutPath(desktop, std::wstring(), linkName);
        OV_KMF_LOG(Info, L"Deleting desktop shortcut %s", linkName.c_str());
        DeleteOldShortcut(path);
    }

    const std::wstring startMenu = GetStartMenuFolderPath();
    const std::wstring folder =
        startMenu.empty() ? std::wstring() : BuildShortcutPath(startMenu, productName, {});
    if (!folder.empty()) {
        std::wstring path = BuildShortcutPath(folder, std::wstring(), linkName);
        OV_KMF_LOG(Info, L"Deleting start menu shortcut %s", path.c_str());
        DeleteOldShortcut(path);

        path = BuildShortcutPath(folder, std::wstring(), kSupportToolLinkName);
        OV_KMF_LOG(Info, L"Deleting start menu ovdiag shortcut %s", path.c_str());
        DeleteOldShortcut(path);

        OV_KMF_LOG(Info, L"Removing start menu folder %s", folder.c_str());
        DeleteFolder(folder);
        DeleteParentFolderIfEmpty(productName);
    }

    RefreshDesktop();
}

void ShortcutCreator::DeleteFolder(const std::wstring& path) {
    if (path.empty() || path.size() > MAX_PATH) {
        OV_KMF_LOG(Error, L"Failed to delete folder. Invalid dirName");
        return;
    }
    if (!RemoveDirectoryW(path.c_str())) {
        OV_KMF_LOG(Info, L"Cannot delete folder (%s) or folder was not empty : %d", path.c_str(),
                   static_cast<int>(GetLastError()));
    }
}

void ShortcutCreator::DeleteParentFolderIfEmpty(const std::wstring& relativeFolder) {
    std::wstring name = ov::stripTrailingBackslash(relativeFolder);
    for (std::wstring::size_type cut = name.rfind(L'\\'); cut != std::wstring::npos;
         cut = name.rfind(L'\\')) {
        name.erase(cut);
        OV_KMF_LOG(Info, L"Removing start menu folder %s if it's empty", name.c_str());
        // An empty name would point at Programs itself, and an unknown Programs folder at a
        // path relative to the current folder: neither is ours to remove.
        const std::wstring startMenu = name.empty() ? std::wstring() : GetStartMenuFolderPath();
        const std::wstring folder =
            startMenu.empty() ? std::wstring() : BuildShortcutPath(startMenu, name, {});
        if (folder.empty()) {
            continue;
        }
        if (!RemoveDirectoryW(folder.c_str())) {
            OV_KMF_LOG(Info, L"Failed or folder was not empty: %d", static_cast<int>(GetLastError()));
        }
    }
}

bool ShortcutCreator::CreateShortcuts(const std::wstring& applicationName, const std::wstring& appModelId,
                                      const std::wstring& clientPath, const std::wstring& supportToolPath) {
    if (!CreateStartMenuFolder(applicationName)) {
        return false;
    }
    const std::wstring noArguments;
    for (const PlannedShortcut& row : kShortcutPlan) {
        const std::wstring& target = row.supportTool ? supportToolPath : clientPath;
        const std::wstring linkName = row.supportTool ? std::wstring(kSupportToolLinkName) : applicationName;
        const std::wstring rowAppModelId = row.supportTool ? std::wstring() : appModelId;

        OV_KMF_LOG(Debug, L"Link name: %s", linkName.c_str());
        if (target.empty()) {
            OV_KMF_LOG(Warning, L"Failed to get target path for %s", applicationName.c_str());
            continue;
        }
        const std::wstring folder = row.onDesktop ? GetDesktopFolderPath() : GetStartMenuFolderPath();
        const std::wstring subfolder = row.onDesktop ? std::wstring() : applicationName;

        std::wstring installPath;
        if (!ProductRegistry().readString(product::kProductKey, kInstallPathValue, installPath)) {
            OV_KMF_LOG(Fatal, L"Failed to get installation path");
            return false;
        }
        // The failed folder lookup is logged already; a path built on it would be relative.
        if (folder.empty()) {
            continue;
        }

        const std::wstring linkPath = BuildShortcutPath(folder, subfolder, linkName);
        const bool created = !linkPath.empty() && Create(linkPath, target, target, installPath, noArguments,
                                                         row.supportTool, rowAppModelId);
        if (created) {
            OV_KMF_LOG(Info, L"Successfully created shortcut: %s %s", target.c_str(), noArguments.c_str());
        } else {
            OV_KMF_LOG(Fatal, L"Failed to create shortcut: %s %s", target.c_str(), noArguments.c_str());
        }
    }
    RefreshDesktop();
    return true;
}

bool ShortcutCreator::CreateStartMenuFolder(const std::wstring& applicationName) {
    const std::wstring startMenu = GetStartMenuFolderPath();
    const std::wstring path =
        startMenu.empty() ? std::wstring() : BuildShortcutPath(startMenu, applicationName, {});
    OV_KMF_LOG(Debug, L"Creating start menu folder %s", path.c_str());
    // Without the Programs folder there is only a relative path, which the shell refuses
    // with this code; it is not handed to the shell at all.
    const int result =
        path.empty() ? ERROR_BAD_PATHNAME : SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS) {
        OV_KMF_LOG(Error, L"Creating start menu folder failed: %d", result);
        return false;
    }
    return true;
}

bool ShortcutCreator::Create(const std::wstring& linkPath, const std::wstring& targetPath,
                             const std::wstring& iconPath, const std::wstring& workingDirectory,
                             const std::wstring& arguments, bool noPinToStartOnInstall,
                             const std::wstring& appModelId) {
    const std::wstring path = EnsureLnkExtension(linkPath);
    std::wstring folder;
    std::wstring fileName;
    ov::splitPath(path, folder, fileName);
    if (fileName == kLnkExtension) {
        // The name came from the customization's application name, which is empty.
        OV_KMF_LOG(Error, L"Customization missing for shortcut name");
        return false;
    }
    OV_KMF_LOG(Info, L"Create shortcut: '%s' to run '%s'", path.c_str(), targetPath.c_str());

    const ComPtr<IShellLinkW> link = CreateShellLinkObject();
    if (!link) {
        return false;
    }
    HRESULT result = S_OK;
    if (!targetPath.empty() && FAILED(result = link->SetPath(targetPath.c_str()))) {
        OV_KMF_LOG(Error, L"Failed to set path: 0x%x", static_cast<unsigned>(result));
    }
    if (!workingDirectory.empty() && FAILED(result = link->SetWorkingDirectory(workingDirectory.c_str()))) {
        OV_KMF_LOG(Error, L"Failed to set working directory: 0x%x", static_cast<unsigned>(result));
    }
    if (!iconPath.empty() && FAILED(result = link->SetIconLocation(iconPath.c_str(), 0))) {
        OV_KMF_LOG(Error, L"Failed to set icon location: 0x%x", static_cast<unsigned>(result));
    }
    if (!arguments.empty() && FAILED(result = link->SetArguments(arguments.c_str()))) {
        OV_KMF_LOG(Error, L"Failed to set arguments: 0x%x", static_cast<unsigned>(result));
    }
    return SaveShortcut(path, link.get(), noPinToStartOnInstall, appModelId);
}
