// Text rules for shortcut file names and paths. No system calls.
#pragma once

#include <string>

// The link file name with ".lnk" appended, unless it is longer than four characters and
// already ends in ".lnk" (case-sensitive, so "Kelvara.LNK" gets a second extension).
// An empty name stays empty.
std::wstring EnsureLnkExtension(const std::wstring& name);

// folder\subfolder\fileName, built by two joins that add a backslash only where the left part
// is not empty and does not end in "\" or "/". An empty subfolder is left out; an empty file
// name leaves a trailing backslash. Each join must fit a MAX_PATH buffer (259 characters);
// when one does not, the result is empty, so that no shorter, relative path is used instead.
std::wstring BuildShortcutPath(const std::wstring& folder, const std::wstring& subfolder,
                               const std::wstring& fileName);

// Whether a name (the application's, from the environment) names shortcuts and Start Menu folders
// only inside their folders: plain components joined by single backslashes (a Start Menu folder
// may nest, "company\product"), with no "..", no colon, no forward slash and no character Windows
// forbids in file names (control characters, * ? " < > |).
bool IsPlainShortcutName(const std::wstring& name);
