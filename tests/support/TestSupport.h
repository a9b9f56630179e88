// Files and folders for the unit tests.
#pragma once

#include <string>
#include <vector>

namespace ovtest {

// A fresh folder under %TEMP%, removed with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::wstring& hint);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::string readFile(const std::wstring& path); // empty when missing
bool fileExists(const std::wstring& path);
bool copyFile(const std::wstring& from, const std::wstring& to);
void removeTree(const std::wstring& path);                    // best effort, for clean-up
std::vector<std::string> splitLines(const std::string& text); // on "\n", CR removed
std::string toUtf8(const std::wstring& wide);

} // namespace ovtest
