// Helpers shared by the tests: lab folders, temporary folders, files and child processes.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ovtest {

// The build folder and the source folder in Windows form (from OV_BIN_DIR / OV_SRC_DIR).
std::wstring binDir();
std::wstring srcDir();

// A fresh folder under %TEMP%, removed with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::wstring& hint = L"ovtest");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::string readFile(const std::wstring& path); // empty when missing
bool writeFile(const std::wstring& path, const std::string& bytes);
bool fileExists(const std::wstring& path);
bool copyFile(const std::wstring& from, const std::wstring& to);
bool copyTree(const std::wstring& from, const std::wstring& to); // folder with everything in it
void removeTree(const std::wstring& path);                       // best effort, for clean-up
std::vector<std::string> splitLines(const std::string& text);    // on "\n", CR removed

// Environment for a child: the current one with some variables set (value) or removed (nullopt
// is spelled as the key listed in `unset`).
struct ChildEnvironment {
    std::map<std::wstring, std::wstring> set;
    std::vector<std::wstring> unset;
};

struct ProcessOptions {
    ChildEnvironment environment;
    std::wstring workingDirectory;   // empty: the current one
    unsigned timeoutMs = 120000;     // the child is terminated after it
    bool asNonAdministrator = false; // restricted token without the Administrators group
};

// Runs a command line and returns its exit code; 0xFFFFFFFF when it could not be started,
// 0xFFFFFFFE when it was terminated after the time-out.
unsigned long runProcess(const std::wstring& commandLine, const ProcessOptions& options = {});

// "path" quoted, then the arguments.
std::wstring quote(const std::wstring& path);

std::wstring toWide(const std::string& utf8);
std::string toUtf8(const std::wstring& wide);

} // namespace ovtest
