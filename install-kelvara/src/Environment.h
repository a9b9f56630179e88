// Reading the environment variables of the run.
#pragma once

#include <string>

// The value of an environment variable, or empty when it is unset or cannot be read.
std::wstring getEnvironmentVariable(const std::wstring& name);

// The value of an environment variable of at most 1022 characters; otherwise (unset,
// empty, longer) the default, with a warning naming the variable.
std::wstring GetEnvVariable(const std::wstring& name, const std::wstring& defaultValue);

// GetEnvVariable for a value that names shortcuts and Start Menu folders (the application name):
// one that could reach outside them (IsPlainShortcutName) gives the default too, with a warning.
std::wstring GetFileNameVariable(const std::wstring& name, const std::wstring& defaultValue);
