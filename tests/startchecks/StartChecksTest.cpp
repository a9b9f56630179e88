#include <ov/Str.h>

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const wchar_t kLogTail[] = L"\\Orvanta\\NS\\clp\\Log\\Kelvara\\install-kelvara-win32.log";
const unsigned long kNotEnoughRights = 1;
const unsigned long kNoCustomization = 9;

std::wstring expand(const wchar_t* text) {
    std::wstring expanded = text;
    ov::str::expandEnvironmentStrings(expanded);
    return expanded;
}

// The installer's log: machine-wide for administrators, per user otherwise.
std::wstring logPath(bool administrator) {
    return expand(administrator ? L"%ProgramData%" : L"%LOCALAPPDATA%") + kLogTail;
}

// Index of the first line holding the text, or -1.
int lineOf(const std::vector<std::string>& lines, const std::string& text) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(text) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class StartChecksTest : public ::testing::Test {
protected:
    ovtest::TempDir temp{L"ovstart"};

    static std::wstring shippedInstaller() {
        return ovtest::binDir() + L"\\install-kelvara\\install-kelvara.exe";
    }

    // A copy of the installer with the customization text, or none when the text is empty.
    std::wstring stampedInstaller(const std::string& text) {
        const std::wstring copy = temp / L"install-kelvara.exe";
        std::wstring command = ovtest::quote(ovtest::binDir() + L"\\tools\\stamp-conf\\stamp-conf.exe") +
                               L" " + ovtest::quote(shippedInstaller()) + L" " + ovtest::quote(copy);
        if (text.empty()) {
            command += L" --remove";
        } else {
            EXPECT_TRUE(ovtest::writeFile(temp / L"customization.txt", text));
            command += L" --text " + ovtest::quote(temp / L"customization.txt");
        }
        EXPECT_EQ(0ul, ovtest::runProcess(command));
        return copy;
    }

    // Runs the installer with none of the sequence's variables set, so that reading them
    // logs a warning each; returns the exit code and the log lines of this run.
    unsigned long runInstaller(const std::wstring& exe, bool administrator, std::vector<std::string>& lines) {
        const std::wstring log = logPath(administrator);
        const size_t before = ovtest::readFile(log).size();
        ovtest::ProcessOptions options;
        options.asNonAdministrator = !administrator;
        options.environment.unset = {L"kelvara_app_name", L"UL_ROOT_DIR", L"kelvara_app_model_id"};
        const unsigned long code = ovtest::runProcess(ovtest::quote(exe), options);
        const std::string content = ovtest::readFile(log);
        // A rotated log starts afresh.
        lines = ovtest::splitLines(content.size() >= before ? content.substr(before) : content);
        return code;
    }

    // The three info lines of the environment values come first, then the fatal line.
    static void expectConfigFailureAfterEnvironment(const std::vector<std::string>& lines) {
        const int root = lineOf(lines, "MainLogic::execute: Installation root directory: \"");
        const int name = lineOf(lines, "MainLogic::execute: Application name: \"Kelvara\"");
        const int model = lineOf(lines, "MainLogic::execute: App model id: \"Orvanta.Kelvara\"");
        const int failed = lineOf(lines, "F: MainLogic::execute: Failed to initialize config");
        EXPECT_LE(0, root);
        EXPECT_LT(root, name);
        EXPECT_LT(name, model);
        EXPECT_LT(model, failed);
        EXPECT_LE(0, lineOf(lines, "Returning: 9"));
    }
};

} // namespace

// A caller without administrator rights is refused before any environment value is read,
// also when the customization would be missing too.
TEST_F(StartChecksTest, NonAdministratorIsRefused) {
    std::vector<std::string> lines;
    ASSERT_EQ(kNotEnoughRights, runInstaller(shippedInstaller(), false, lines));
    EXPECT_LE(0, lineOf(lines, "E: MainLogic::execute: Not enough rights."));
    EXPECT_EQ(-1, lineOf(lines, "Using default value for"));
    EXPECT_EQ(-1, lineOf(lines, "Installation root directory"));
    EXPECT_LE(0, lineOf(lines, "Returning: 1"));

    ASSERT_EQ(kNotEnoughRights, runInstaller(stampedInstaller(""), false, lines));
    EXPECT_EQ(-1, lineOf(lines, "Failed to initialize config"));
}

// A customization text that yields no key stops the sequence with 9.
TEST_F(StartChecksTest, CustomizationWithoutKeysFails) {
    std::vector<std::string> lines;
    ASSERT_EQ(kNoCustomization, runInstaller(stampedInstaller("=no key\r\n\r\n="), true, lines));
    expectConfigFailureAfterEnvironment(lines);
}

// An installer without the customization resource stops with 9 the same way.
TEST_F(StartChecksTest, MissingCustomizationFails) {
    std::vector<std::string> lines;
    ASSERT_EQ(kNoCustomization, runInstaller(stampedInstaller(""), true, lines));
    expectConfigFailureAfterEnvironment(lines);
}

// The installer as built passes both checks: its environment lines are logged and neither
// refusal follows.
TEST_F(StartChecksTest, ShippedInstallerPassesBothChecks) {
    std::vector<std::string> lines;
    const unsigned long code = runInstaller(shippedInstaller(), true, lines);
    EXPECT_NE(kNotEnoughRights, code);
    EXPECT_NE(kNoCustomization, code);
    EXPECT_LE(0, lineOf(lines, "MainLogic::execute: App model id: \"Orvanta.Kelvara\""));
    EXPECT_EQ(-1, lineOf(lines, "Not enough rights."));
    EXPECT_EQ(-1, lineOf(lines, "Failed to initialize config"));
}
