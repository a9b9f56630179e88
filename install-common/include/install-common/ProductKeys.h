// Where the product keeps its values in the registry, for every component that reads or writes them.
#pragma once

namespace product {

// The product's own key: its folders, its name, what the client records.
const wchar_t kProductKey[] = L"SOFTWARE\\Orvanta\\Kelvara";
// The Add/Remove Programs entry: the product's sub-key below the system's uninstall key.
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kUninstallEntry[] = L"Orvanta Kelvara";

} // namespace product
