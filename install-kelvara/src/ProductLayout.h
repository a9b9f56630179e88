// Names of the product as the installation writes it to the machine: its registry values, its
// service and the executables of a version folder.
#pragma once

#include <install-common/ProductKeys.h>

namespace product {

// The folder an upgrade under way is leaving, kept until that folder is removed, so that the
// upgrade is finished by the next run even when this one is cut short after AppPath changed.
const wchar_t kUpgradeFromValue[] = L"UpgradeFromPath";
const wchar_t kServiceName[] = L"Kelvara Service";
const wchar_t kServiceExecutable[] = L"ovvpnservice.exe";
const wchar_t kClientExecutable[] = L"Kelvara.exe";
const wchar_t kTunnelExecutable[] = L"openvpn.exe";
const wchar_t kSupportToolExecutable[] = L"ovdiag_32.exe";
const wchar_t kUninstallerExecutable[] = L"ovvpnuninstall.exe";
// How long the client and the tunnel processes get to quit before they are terminated.
const unsigned long kClientQuitTimeoutMs = 4000;
const unsigned long kTunnelQuitTimeoutMs = 8000;

} // namespace product
