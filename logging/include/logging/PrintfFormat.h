// OV_KMF_PRINTF_FORMAT(formatIndex, firstArgumentIndex): lets g++ check a narrow printf-style
// format against its arguments, by the rules of the Windows runtime that formats it (ms_printf).
// Indices count from 1, and from 2 in a member function (1 is `this`). Empty for other compilers.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#define OV_KMF_PRINTF_FORMAT(formatIndex, firstArgumentIndex)                                                \
    __attribute__((format(ms_printf, formatIndex, firstArgumentIndex)))
#else
#define OV_KMF_PRINTF_FORMAT(formatIndex, firstArgumentIndex)
#endif
