// run-alone: the baseline of the whole-run benchmark (tools/bench/install-bench.sh). Starts a
// command line as the installer starts its child processes (no window, inherited handles, a
// working folder), waits for it, and prints the milliseconds from the start to its end; COUNT
// times, one line each. Exit codes: 0 done, 1 the program could not be started, 2 usage error.
//   run-alone COUNT WORKING_FOLDER COMMAND_LINE
#include <ov/Handle.h>
#include <ov/Win32.h>

#include <cstdio>
#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    const int count = argc == 4 ? _wtoi(argv[1]) : 0;
    if (count <= 0) {
        std::fputs("usage: run-alone COUNT WORKING_FOLDER COMMAND_LINE\n", stderr);
        return 2;
    }
    LARGE_INTEGER frequency = {}, start = {}, end = {};
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < count; ++i) {
        // Process creation may write into the command line.
        std::vector<wchar_t> commandLine(argv[3], argv[3] + std::wcslen(argv[3]) + 1);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        QueryPerformanceCounter(&start);
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                            argv[2][0] != L'\0' ? argv[2] : nullptr, &startup, &info)) {
            std::fprintf(stderr, "run-alone: cannot start it: error %lu\n", GetLastError());
            return 1;
        }
        const ov::ScopedHandle process(info.hProcess), thread(info.hThread);
        WaitForSingleObject(process.get(), INFINITE);
        QueryPerformanceCounter(&end);
        std::printf("%.1f\n",
                    static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart);
    }
    return 0;
}
