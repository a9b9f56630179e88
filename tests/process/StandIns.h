// The stand-ins for the product's executables (tests/fixtures) in a test folder: placing them,
// starting them and reading their journals.
#pragma once

#include <ov/Handle.h>

#include <string>
#include <vector>

namespace ovtest {

// Copies the built stand-in exeName ("Kelvara.exe", "x64\\drivertool64.exe") into folder, with
// its settings file ("key=value" lines; none when settings is empty). Returns the copy's path.
std::wstring placeStandIn(const std::wstring& folder, const std::wstring& exeName,
                          const std::string& settings = "");

// The lines the stand-in copy wrote to the lab's journal so far, without its path.
std::vector<std::string> journalOf(const std::wstring& exePath);

// Waits up to 20 s until the journal holds the line; true when it does.
bool waitForJournalLine(const std::wstring& exePath, const std::string& line);

// A child process started by a test; terminated when the object goes, if still running.
class StartedProcess {
public:
    explicit StartedProcess(const std::wstring& exePath);
    ~StartedProcess();
    StartedProcess(const StartedProcess&) = delete;
    StartedProcess& operator=(const StartedProcess&) = delete;

    bool valid() const { return process_.valid(); }
    unsigned long id() const { return id_; }
    bool running() const;
    // The exit code once it has ended (waiting up to 5 s); 0xFFFFFFFF while it runs.
    unsigned long exitCode() const;

private:
    ov::ScopedHandle process_;
    unsigned long id_ = 0;
};

} // namespace ovtest
