// Scenario tests: the built installation action runs under Wine from a prepared version folder
// with controlled environments; they check its exit code and the records it wrote to the machine log.
#include "TestSupport.h"

#include <ov/Win32.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

// The version folder as the framework unpacks it: the action beside the stand-ins of the
// product's other executables. Made once per test run, removed at its end.
std::wstring installerPath() {
    static const ovtest::TempDir folder(L"kelvara-version");
    static const bool prepared =
        ovtest::copyTree(ovtest::binDir() + L"\\tests\\fixtures\\bin", folder.path()) &&
        ovtest::copyFile(ovtest::binDir() + L"\\install-kelvara\\install-kelvara.exe",
                         folder / L"install-kelvara.exe");
    EXPECT_TRUE(prepared) << "the version folder could not be prepared";
    return folder / L"install-kelvara.exe";
}

std::wstring machineLogPath() {
    wchar_t common[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common);
    return std::wstring(common) + L"\\Orvanta\\NS\\clp\\Log\\Kelvara\\install-kelvara-win32.log";
}

const wchar_t* const kRunVariables[] = {L"ul_reg_root",
                                        L"ul_module",
                                        L"ul_title",
                                        L"ul_version",
                                        L"ul_silent_installation",
                                        L"UL_ROOT_DIR",
                                        L"kelvara_app_name",
                                        L"kelvara_app_model_id"};

struct InstallerRun {
    unsigned long exitCode = 0;
    std::vector<std::string> records; // lines of this run, without CR LF
};

// One run of the installer with exactly the given run variables set (the others unset).
InstallerRun runInstaller(const std::map<std::wstring, std::wstring>& variables) {
    const std::wstring log = machineLogPath();
    const std::string before = ovtest::readFile(log);
    ovtest::ProcessOptions options;
    for (const wchar_t* name : kRunVariables) {
        if (variables.count(name) == 0) {
            options.environment.unset.push_back(name);
        }
    }
    options.environment.set = variables;
    InstallerRun run;
    run.exitCode = ovtest::runProcess(ovtest::quote(installerPath()), options);
    std::string after = ovtest::readFile(log);
    // A rotation in between starts a new file; then all of it is this run's.
    if (after.size() >= before.size() && after.compare(0, before.size(), before) == 0) {
        after.erase(0, before.size());
    }
    run.records = ovtest::splitLines(after);
    return run;
}

// The message part of every record: what follows "function: ".
std::vector<std::string> messages(const InstallerRun& run, const std::string& function) {
    std::vector<std::string> out;
    const std::string marker = ": " + function + ": ";
    for (const auto& line : run.records) {
        const std::string::size_type at = line.find(marker);
        if (at != std::string::npos) {
            out.push_back(line.substr(at + marker.size()));
        }
    }
    return out;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& line : lines) {
        if (line == text) {
            return true;
        }
    }
    return false;
}

bool anyContains(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& line : lines) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::map<std::wstring, std::wstring> sampleEnvironment() {
    return {{L"ul_reg_root", L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvanta\\Updater"},
            {L"ul_module", L"kelvara-win32"},
            {L"ul_title", L"Kelvara"},
            {L"ul_version", L"2.69.35.0"},
            {L"ul_silent_installation", L"yes"},
            {L"UL_ROOT_DIR", L"C:\\Program Files (x86)\\Orvanta\\Kelvara"},
            {L"kelvara_app_name", L"Kelvara"},
            {L"kelvara_app_model_id", L"Orvanta.Kelvara"}};
}

} // namespace

// A complete run: exit 0, an empty line, the start banner, the run context, the sequence,
// "Returning: 0" and the end banner, every record in the fixed format.
TEST(Entry, SampleRunWritesTheWholeLogInTheRecordFormat) {
    const InstallerRun run = runInstaller(sampleEnvironment());
    ASSERT_EQ(run.exitCode, 0u);
    ASSERT_GE(run.records.size(), 4u);
    EXPECT_EQ(run.records.front(), "");

    const std::regex record(
        R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} \[[0-9a-f]{4,}\.[0-9a-f]{4,}\] (\*F|\*E|\.W| I| D| V): .*)");
    for (size_t i = 1; i < run.records.size(); ++i) {
        EXPECT_TRUE(std::regex_match(run.records[i], record)) << run.records[i];
    }
    EXPECT_NE(run.records[1].find(" I: ***  LOGGING STARTED  *** (UTC"), std::string::npos) << run.records[1];
    EXPECT_NE(run.records.back().find(" I: ***  LOGGING ENDED  ***"), std::string::npos)
        << run.records.back();

    const auto winMain = messages(run, "WinMain");
    const std::vector<std::string> expected = {
        "ULU registry root: SOFTWARE\\Orvanta\\Updater",
        "Installing kelvara-win32, version 2.69.35.0. title: Kelvara",
        "Executing main logic...",
        "Main logic returned: 0",
        "Returning: 0",
    };
    EXPECT_EQ(winMain, expected);
    const auto sequence = messages(run, "MainLogic::execute");
    EXPECT_TRUE(
        contains(sequence, "Installation root directory: \"C:\\Program Files (x86)\\Orvanta\\Kelvara\""));
    EXPECT_TRUE(contains(sequence, "Application name: \"Kelvara\""));
    EXPECT_TRUE(contains(sequence, "App model id: \"Orvanta.Kelvara\""));
    EXPECT_TRUE(contains(sequence, "Doing silent installation!"));
    EXPECT_TRUE(messages(run, "GetEnvVariable").empty());
}

// The forms of ul_reg_root: the hive name is dropped, no backslash logs no root.
TEST(Entry, RegistryRootForms) {
    auto env = sampleEnvironment();
    env[L"ul_reg_root"] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\Y";
    EXPECT_TRUE(contains(messages(runInstaller(env), "WinMain"), "ULU registry root: SOFTWARE\\X\\Y"));

    env[L"ul_reg_root"] = L"\\A";
    EXPECT_TRUE(contains(messages(runInstaller(env), "WinMain"), "ULU registry root: A"));

    env[L"ul_reg_root"] = L"SOFTWARE";
    EXPECT_FALSE(anyContains(messages(runInstaller(env), "WinMain"), "ULU registry root"));

    env.erase(L"ul_reg_root");
    const InstallerRun unset = runInstaller(env);
    EXPECT_EQ(unset.exitCode, 0u);
    EXPECT_FALSE(anyContains(messages(unset, "WinMain"), "ULU registry root"));
}

// Only exactly "yes" is a silent installation.
TEST(Entry, SilentFlagVariants) {
    auto env = sampleEnvironment();
    for (const wchar_t* value : {L"Yes", L"yes ", L"1", L"true"}) {
        env[L"ul_silent_installation"] = value;
        EXPECT_FALSE(
            contains(messages(runInstaller(env), "MainLogic::execute"), "Doing silent installation!"))
            << ovtest::toUtf8(value);
    }
    env.erase(L"ul_silent_installation");
    EXPECT_FALSE(contains(messages(runInstaller(env), "MainLogic::execute"), "Doing silent installation!"));
}

// Without ul_title the banner names "module version" as the title; without a version or a
// module there is no banner at all.
TEST(Entry, TitleDefaultAndMissingBanner) {
    auto env = sampleEnvironment();
    env.erase(L"ul_title");
    env[L"ul_module"] = L"M";
    env[L"ul_version"] = L"1.0";
    EXPECT_TRUE(contains(messages(runInstaller(env), "WinMain"), "Installing M, version 1.0. title: M 1.0"));

    env.erase(L"ul_version");
    EXPECT_FALSE(anyContains(messages(runInstaller(env), "WinMain"), "Installing "));

    env[L"ul_version"] = L"1.0";
    env.erase(L"ul_module");
    const InstallerRun noModule = runInstaller(env);
    EXPECT_EQ(noModule.exitCode, 0u);
    EXPECT_FALSE(anyContains(messages(noModule, "WinMain"), "Installing "));

    // The run context has no length limit of its own, unlike the sequence's variables.
    env = sampleEnvironment();
    const std::wstring longTitle(3000, L't');
    env[L"ul_title"] = longTitle;
    EXPECT_TRUE(contains(messages(runInstaller(env), "WinMain"),
                         "Installing kelvara-win32, version 2.69.35.0. title: " + ovtest::toUtf8(longTitle)));
}

// All three product variables unset: three warnings in order, then the defaults.
TEST(Entry, ProductVariablesFallBackToDefaults) {
    auto env = sampleEnvironment();
    env.erase(L"kelvara_app_name");
    env.erase(L"UL_ROOT_DIR");
    env[L"kelvara_app_model_id"] = L""; // set but empty counts as unset
    const InstallerRun run = runInstaller(env);
    EXPECT_EQ(run.exitCode, 0u);
    const std::vector<std::string> warnings = {"Using default value for kelvara_app_name",
                                               "Using default value for UL_ROOT_DIR",
                                               "Using default value for kelvara_app_model_id"};
    EXPECT_EQ(messages(run, "GetEnvVariable"), warnings);
    const auto sequence = messages(run, "MainLogic::execute");
    ASSERT_GE(sequence.size(), 3u);
    EXPECT_EQ(sequence[0], "Installation root directory: \"C:\\Program Files (x86)\\Orvanta\\Kelvara\"");
    EXPECT_EQ(sequence[1], "Application name: \"Kelvara\"");
    EXPECT_EQ(sequence[2], "App model id: \"Orvanta.Kelvara\"");
}

// UL_ROOT_DIR of 1022 characters is used; 1023 falls back to the default with a warning.
TEST(Entry, InstallationRootLengthLimit) {
    auto env = sampleEnvironment();
    const std::wstring longest = L"C:\\" + std::wstring(1019, L'r');
    ASSERT_EQ(longest.size(), 1022u);
    env[L"UL_ROOT_DIR"] = longest;
    const InstallerRun fits = runInstaller(env);
    EXPECT_TRUE(contains(messages(fits, "MainLogic::execute"),
                         "Installation root directory: \"" + ovtest::toUtf8(longest) + "\""));
    EXPECT_TRUE(messages(fits, "GetEnvVariable").empty());

    env[L"UL_ROOT_DIR"] = longest + L"x";
    const InstallerRun tooLong = runInstaller(env);
    EXPECT_EQ(messages(tooLong, "GetEnvVariable"),
              std::vector<std::string>{"Using default value for UL_ROOT_DIR"});
    EXPECT_TRUE(contains(messages(tooLong, "MainLogic::execute"),
                         "Installation root directory: \"C:\\Program Files (x86)\\Orvanta\\Kelvara\""));
}
