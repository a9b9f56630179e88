// The log of the process tests, opened once for the whole test program.
#pragma once

#include "TestLog.h"

namespace ovtest {

inline TestLog& processTestLog() {
    static TestLog log(L"process-tests");
    return log;
}

} // namespace ovtest
