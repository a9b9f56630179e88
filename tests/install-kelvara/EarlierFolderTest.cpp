// Which folders named by the registry may stand for an earlier version.
#include "EarlierFolder.h"

#include <gtest/gtest.h>

TEST(EarlierFolder, OnlyAPlainLocalFolderIsUsed) {
    const struct {
        const wchar_t* folder;
        bool reparsePoint;
        FolderUse use;
    } rows[] = {
        {L"C:\\Program Files (x86)\\Orvanta\\Kelvara\\2.68.0.0", false, FolderUse::Usable},
        {L"d:\\", false, FolderUse::Usable},
        {L"C:\\Kelvara\\2.68", true, FolderUse::ReparsePoint},
        {L"Kelvara\\2.68", false, FolderUse::NotAbsoluteLocal},
        {L"C:Kelvara", false, FolderUse::NotAbsoluteLocal},
        {L"\\Kelvara", false, FolderUse::NotAbsoluteLocal},
        {L"%SystemDrive%\\Kelvara", false, FolderUse::NotAbsoluteLocal},
        {L"", false, FolderUse::NotAbsoluteLocal},
        {L"\\\\server\\share\\Kelvara", false, FolderUse::Unc},
        {L"\\\\?\\C:\\Kelvara", false, FolderUse::DevicePath},
        {L"\\\\.\\C:\\Kelvara", false, FolderUse::DevicePath},
        {L"\\??\\C:\\Kelvara", false, FolderUse::DevicePath},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(judgeRegistryFolder(row.folder, row.reparsePoint), row.use) << row.folder;
    }
}
