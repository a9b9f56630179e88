// Paths of the well-known shell folders (common desktop, program files and the like).
#pragma once

#include <string>

namespace ov {

// Ids 0 to 7 are machine-wide folders, 8 and above the current user's; 7 names no folder.
enum class FolderId : int {
    CommonAppData = 0,
    CommonDesktop = 1,
    CommonStartMenu = 2,
    CommonPrograms = 3,
    CommonStartup = 4,
    ProgramFiles = 5,
    ProgramFilesX86 = 6,
    AppData = 8,
    LocalAppData = 9,
    Desktop = 10,
    Personal = 11,
    MyPictures = 12,
    MyMusic = 13,
    MyVideo = 14,
    Favorites = 15,
    StartMenu = 16,
    Programs = 17,
    Startup = 18,
    Cache = 19,
    Profile = 20,
};

// The folder's path from the Explorer folder keys of the registry, environment references
// expanded, else from the shell; empty when neither knows the folder. Never throws.
std::wstring getFolderPath(FolderId id);

} // namespace ov
