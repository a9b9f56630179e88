#include <ov/Folders.h>

#include <ov/Handle.h>
#include <ov/ModulePaths.h>
#include <ov/PathRules.h>
#include <ov/Str.h>
#include <ov/Win32.h>
#include <ov/Win32Registry.h>

#include <shlobj.h>

#include <iterator>

namespace ov {

namespace {

const wchar_t userShellFolders[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t currentVersion[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr int noShellFolder = 255;
// Ids up to this one are machine-wide and read from HKEY_LOCAL_MACHINE.
constexpr unsigned lastMachineFolder = 7;

struct Folder {
    const wchar_t* key;
    const wchar_t* valueName;     // null: the registry has no value for the folder
    const wchar_t* fallbackValue; // read when valueName cannot be read
    const wchar_t* fixedText;     // the folder's text without a registry read
    int shellFolder;              // CSIDL, or noShellFolder
};

// Indexed by FolderId.
const Folder folders[] = {
    {userShellFolders, L"Common AppData", nullptr, nullptr, CSIDL_COMMON_APPDATA},
    {userShellFolders, L"Common Desktop", nullptr, nullptr, CSIDL_COMMON_DESKTOPDIRECTORY},
    {userShellFolders, L"Common Start Menu", nullptr, nullptr, CSIDL_COMMON_STARTMENU},
    {userShellFolders, L"Common Programs", nullptr, nullptr, CSIDL_COMMON_PROGRAMS},
    {userShellFolders, L"Common Startup", nullptr, nullptr, CSIDL_COMMON_STARTUP},
    {currentVersion, L"ProgramFilesDir", nullptr, nullptr, CSIDL_PROGRAM_FILES},
    {currentVersion, L"ProgramFilesDir (x86)", L"ProgramFilesDir", nullptr, CSIDL_PROGRAM_FILESX86},
    {nullptr, nullptr, nullptr, nullptr, noShellFolder},
    {userShellFolders, L"AppData", nullptr, nullptr, CSIDL_APPDATA},
    {userShellFolders, L"Local AppData", nullptr, nullptr, CSIDL_LOCAL_APPDATA},
    {userShellFolders, L"Desktop", nullptr, nullptr, CSIDL_DESKTOP},
    {userShellFolders, L"Personal", nullptr, nullptr, CSIDL_PERSONAL},
    {userShellFolders, L"My Pictures", nullptr, nullptr, CSIDL_MYPICTURES},
    {userShellFolders, L"My Music", nullptr, nullptr, CSIDL_MYMUSIC},
    {userShellFolders, L"My Video", nullptr, nullptr, CSIDL_MYVIDEO},
    {userShellFolders, L"Favorites", nullptr, nullptr, CSIDL_FAVORITES},
    {userShellFolders, L"Start Menu", nullptr, nullptr, CSIDL_STARTMENU},
    {userShellFolders, L"Programs", nullptr, nullptr, CSIDL_PROGRAMS},
    {userShellFolders, L"Startup", nullptr, nullptr, CSIDL_STARTUP},
    {userShellFolders, L"Cache", nullptr, nullptr, CSIDL_INTERNET_CACHE},
    {nullptr, nullptr, nullptr, L"%USERPROFILE%", CSIDL_PROFILE},
};

using GetFolderPathFunction = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

// The shell library is loaded by its full path in the system folder, so that no shell32.dll
// lying beside the installer is picked up, and only when the registry has no answer.
std::wstring shellFolderPath(int shellFolder) {
    const std::wstring libraryPath = joinPath(getSystemDirectory(), L"shell32.dll");
    const ScopedLibrary shell(LoadLibraryW(libraryPath.c_str()));
    if (!shell) {
        return std::wstring();
    }
    const auto getFolderPath = getExport<GetFolderPathFunction>(shell.get(), "SHGetFolderPathW");
    if (getFolderPath == nullptr) {
        return std::wstring();
    }
    wchar_t buffer[MAX_PATH] = {};
    if (getFolderPath(nullptr, shellFolder, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) {
        return std::wstring();
    }
    return buffer;
}

} // namespace

std::wstring getFolderPath(FolderId id) {
    const auto index = static_cast<unsigned>(id);
    if (index >= std::size(folders)) {
        return std::wstring();
    }
    const Folder& folder = folders[index];

    std::wstring text;
    if (folder.fixedText != nullptr) {
        text = folder.fixedText;
    } else if (folder.valueName != nullptr) {
        Win32Registry registry = index <= lastMachineFolder
                                     ? Win32Registry(HKEY_LOCAL_MACHINE)
                                     : Win32Registry(HKEY_CURRENT_USER, KEY_WOW64_64KEY);
        if (!registry.readString(folder.key, folder.valueName, text) && folder.fallbackValue != nullptr) {
            registry.readString(folder.key, folder.fallbackValue, text);
        }
    }
    str::expandEnvironmentStrings(text);

    if (text.empty() && folder.shellFolder != noShellFolder) {
        text = shellFolderPath(folder.shellFolder);
    }
    return text;
}

} // namespace ov
