// A child process of the logging tests: log-writer NAMESPACE PRODUCT LOGNAME COUNT TAG
// opens the log, writes COUNT records "TAG record I of COUNT <padding>|" and closes it.
#include <logging/Log.h>
#include <ov/Win32.h>

#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

void writeRecords(const std::vector<std::wstring>& args) {
    const int count = _wtoi(args[4].c_str());
    OvKmfLogging::open(args[1].c_str(), args[2].c_str(), args[3].c_str(), OvKmfLogging::Info, 0);
    // Long enough that a record split across two writes would show.
    const std::wstring padding(80, L'=');
    for (int i = 1; i <= count; ++i) {
        OV_KMF_LOG(OvKmfLogging::Info, L"%ls record %d of %d %ls|", args[5].c_str(), i, count,
                   padding.c_str());
    }
    OvKmfLogging::close();
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::vector<std::wstring> args(argv, argv + (argv != nullptr ? argc : 0));
    LocalFree(argv);
    if (args.size() != 6) {
        return 2;
    }
    writeRecords(args);
    return 0;
}
