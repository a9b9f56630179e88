#include "PendingFileRenames.h"

#include "PendingRenameList.h"

#include <logging/Log.h>
#include <ov/Handle.h>
#include <ov/Win32.h>

#include <vector>

namespace {

const wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingOperations[] = L"PendingFileRenameOperations";

// Registry data is UTF-16 on Windows, where wchar_t and char16_t have the same size.
std::u16string toU16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}
std::wstring toWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

void removePendingFileOperationsInFolder(const std::wstring& folder) {
    if (folder.empty() || folder.back() != L'\\') {
        OV_KMF_LOG(OvKmfLogging::Error, L"empty path or invalid format");
        return;
    }
    OV_KMF_LOG(OvKmfLogging::Debug, L"%s", folder.c_str());

    // The key is shared by both registry views, so no view flag.
    ov::ScopedRegKey key;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_ALL_ACCESS, key.put());
    if (opened != ERROR_SUCCESS) {
        OV_KMF_LOG(OvKmfLogging::Error, L"RegOpenKeyEx failed to open [%s], error code: [%d]",
                   kSessionManagerKey, static_cast<int>(opened));
        return;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), kPendingOperations, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        OV_KMF_LOG(OvKmfLogging::Debug, L"Couldn't read %s value", kPendingOperations);
        return;
    }
    if (type != REG_MULTI_SZ) {
        OV_KMF_LOG(OvKmfLogging::Error, L"wrong type");
        return;
    }
    if (size == 0) {
        OV_KMF_LOG(OvKmfLogging::Debug, L"data was empty");
        return;
    }
    // Read straight into UTF-16 units; an odd last byte is no whole unit and is not looked at.
    std::vector<char16_t> units((size + 1) / sizeof(char16_t), u'\0');
    const LONG read = RegQueryValueExW(key.get(), kPendingOperations, nullptr, &type,
                                       reinterpret_cast<BYTE*>(units.data()), &size);
    if (read != ERROR_SUCCESS) {
        OV_KMF_LOG(OvKmfLogging::Error, L"RegQueryValueEx failed %d", static_cast<int>(read));
        return;
    }
    const std::size_t count = size / sizeof(char16_t); // what the read stored, never more than the buffer
    if (count <= 1) {
        return;
    }

    const PendingRenameFilter filtered = filterPendingRenames(units.data(), count, toU16(folder));
    for (const PendingRenamePair& pair : filtered.pairs) {
        const std::wstring source = toWide(pair.source);
        const std::wstring destination = toWide(pair.destination);
        if (pair.dropped) {
            OV_KMF_LOG(OvKmfLogging::Debug, L"found match, skipping lines: [%s,%s]", source.c_str(),
                       destination.c_str());
        } else {
            OV_KMF_LOG(OvKmfLogging::Debug, L"didn't match, copy to buffer [%s,%s]", source.c_str(),
                       destination.c_str());
        }
    }
    if (!filtered.anyDropped) {
        return;
    }
    const LONG written = RegSetValueExW(key.get(), kPendingOperations, 0, REG_MULTI_SZ,
                                        reinterpret_cast<const BYTE*>(filtered.kept.data()),
                                        static_cast<DWORD>(filtered.kept.size() * sizeof(char16_t)));
    if (written != ERROR_SUCCESS) {
        OV_KMF_LOG(OvKmfLogging::Error, L"RegSetValueEx failed %s, err:%d", kPendingOperations,
                   static_cast<int>(written));
    }
}
