#include "EarlierFolder.h"

std::wstring textBeforeNul(const std::wstring& text) {
    return text.substr(0, text.find(L'\0'));
}

FolderUse judgeRegistryFolder(const std::wstring& folder, bool isReparsePoint) {
    const auto startsWith = [&folder](const wchar_t* prefix) { return folder.rfind(prefix, 0) == 0; };
    if (startsWith(L"\\\\?\\") || startsWith(L"\\\\.\\") || startsWith(L"\\??\\")) {
        return FolderUse::DevicePath;
    }
    if (startsWith(L"\\\\")) {
        return FolderUse::Unc;
    }
    const bool driveLetter = folder.size() >= 3 && ((folder[0] >= L'A' && folder[0] <= L'Z') ||
                                                    (folder[0] >= L'a' && folder[0] <= L'z'));
    if (!driveLetter || folder[1] != L':' || folder[2] != L'\\') {
        return FolderUse::NotAbsoluteLocal;
    }
    return isReparsePoint ? FolderUse::ReparsePoint : FolderUse::Usable;
}

const wchar_t* folderUseReason(FolderUse use) {
    switch (use) {
    case FolderUse::Usable:
        break;
    case FolderUse::NotAbsoluteLocal:
        return L"is not an absolute local path";
    case FolderUse::Unc:
        return L"is a UNC path";
    case FolderUse::DevicePath:
        return L"is a device path";
    case FolderUse::ReparsePoint:
        return L"is a reparse point";
    }
    return L"";
}
