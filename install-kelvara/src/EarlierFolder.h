// Which folder named by the registry may stand for an earlier version: its driver tool runs with the
// installer's rights and it is deleted with all it holds, so only a plain local folder qualifies.
// Pure text rules without system calls, so a table tests them without a machine behind them.
#pragma once

#include <string>

enum class FolderUse {
    Usable,
    NotAbsoluteLocal, // relative, drive-relative, rooted without a drive, or empty
    Unc,              // \\server\share
    DevicePath,       // \\?\, \\.\ or \??\ in front
    ReparsePoint,     // a junction or link: what it points to is not ours
};

// The text of registry data up to its first NUL: the path that file, process and registry calls see.
std::wstring textBeforeNul(const std::wstring& text);

// Usable only for an absolute local path (a drive letter, a colon, a backslash) that is not a
// reparse point.
FolderUse judgeRegistryFolder(const std::wstring& folder, bool isReparsePoint);

// Why a folder is not used, worded to follow the folder in a log line; empty for a usable one.
const wchar_t* folderUseReason(FolderUse use);
