// Setting up the stand-ins for the product's executables (tests/fixtures) in a test folder,
// starting them and reading their journals.
#pragma once

#include <ov/Handle.h>

#include <string>
#include <vector>

namespace ovtest {

// The folder holding the built stand-ins, laid out as a version folder.
std::wstring standInFolder();

// Copies the stand-in exeName ("Kelvara.exe", "x64\\drivertool64.exe") into folder, with its
// settings file ("key=value" lines; none when settings is empty). Returns the copy's path.
std::wstring placeStandIn(const std::wstring& folder, const std::wstring& exeName,
                          const std::string& settings = "");

// The journal beside a stand-in copy: its lines so far (empty when it wrote none yet).
std::vector<std::string> journalOf(const std::wstring& exePath);

// Waits up to timeoutMs until the journal holds the line; true when it does.
bool waitForJournalLine(const std::wstring& exePath, const std::string& line, unsigned timeoutMs = 20000);

// A child process started by a test; terminated when the object goes, if still running.
class StartedProcess {
public:
    // Starts "exePath" without waiting; valid() tells whether it started.
    explicit StartedProcess(const std::wstring& exePath);
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    bool valid() const { return process_.valid(); }
    unsigned long id() const { return id_; }
    bool running() const;
    // The exit code once it has ended (waits up to timeoutMs); 0xFFFFFFFF when it still runs.
    unsigned long exitCode(unsigned timeoutMs = 5000) const;

private:
    ov::ScopedHandle process_;
    unsigned long id_ = 0;
};

} // namespace ovtest
