#include "TestSupport.h"

#include <ov/DirectoryTree.h>
#include <ov/Str.h>
#include <ov/Win32.h>

#include <fstream>
#include <sstream>

namespace ovtest {

TempDir::TempDir(const std::wstring& hint) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = temp + hint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempDir::~TempDir() {
    removeTree(path_);
}

std::string readFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool copyFile(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

void removeTree(const std::wstring& path) {
    ov::removeDirectoryTree(path, false);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    }
    return lines;
}

std::string toUtf8(const std::wstring& wide) {
    return ov::str::wideToUtf8(wide);
}

} // namespace ovtest
