// The product's shell shortcuts for all users: one on the common desktop and a start-menu
// folder with the client and the support tool.
#pragma once

#include <ov/Win32.h>

#include <string>

struct IShellLinkW;
struct IPropertyStore;

// Creates and removes the product's shortcuts. Holds COM initialised on the constructing
// thread for its lifetime. Nothing throws: failures are logged and give false or are skipped.
class ShortcutCreator {
public:
    // Initialises COM (single-threaded apartment) and remembers whether that succeeded.
    ShortcutCreator();
    // Uninitialises COM only when the construction initialised it.
    ~ShortcutCreator();
    ShortcutCreator(const ShortcutCreator&) = delete;
    ShortcutCreator& operator=(const ShortcutCreator&) = delete;

    // The all-users desktop folder; empty (and logged) when it cannot be found.
    virtual std::wstring GetDesktopFolderPath();
    // The all-users start-menu Programs folder; empty (and logged) when it cannot be found.
    virtual std::wstring GetStartMenuFolderPath();
    // Deletes one shortcut file; false (logged) when it cannot be deleted, also when missing.
    virtual bool DeleteOldShortcut(const std::wstring& path);
    // Moves a file without replacing an existing destination; an existing destination
    // counts as success.
    virtual bool Rename(const std::wstring& from, const std::wstring& to);
    // Tells the shell that the desktop folder changed.
    virtual void RefreshDesktop();

    // Removes the previous installation's shortcuts, then creates the new ones. False only
    // when the creation failed as a whole (start-menu folder or installation path missing).
    bool UpdateShortcuts(const std::wstring& applicationName, const std::wstring& appModelId,
                         const std::wstring& clientPath, const std::wstring& supportToolPath);
    // Removes the shortcuts and start-menu folders named after the "ProductName" the previous
    // installation left in the registry; does nothing when there is none.
    void RemoveOldShortcuts();
    // Creates the desktop shortcut and the start-menu folder with its two shortcuts. A single
    // shortcut that fails is logged and the others are still made.
    bool CreateShortcuts(const std::wstring& applicationName, const std::wstring& appModelId,
                         const std::wstring& clientPath, const std::wstring& supportToolPath);
    // Creates Programs\applicationName with any missing parents; an existing folder is success.
    bool CreateStartMenuFolder(const std::wstring& applicationName);
    // Writes one shortcut file (".lnk" appended when missing). Empty arguments are not set.
    bool Create(const std::wstring& linkPath, const std::wstring& targetPath, const std::wstring& iconPath,
                const std::wstring& workingDirectory, const std::wstring& arguments,
                bool noPinToStartOnInstall, const std::wstring& appModelId);
    // Removes a folder if it is empty; a folder that stays is logged.
    void DeleteFolder(const std::wstring& path);
    // For a nested start-menu folder name (company\product): removes each parent folder below
    // Programs, innermost first, where it is empty.
    void DeleteParentFolderIfEmpty(const std::wstring& relativeFolder);

private:
    bool comInitialized_;
};

// Test seam. Wine accepts AppUserModel properties on a shell link but keeps none of them in
// the saved file, so tests hand in their own property store to see what is written. The query
// returns a new reference in *store. Null restores the link's own store; returns the former.
using PropertyStoreQuery = HRESULT (*)(IShellLinkW* link, IPropertyStore** store);
PropertyStoreQuery SetPropertyStoreQuery(PropertyStoreQuery query);
