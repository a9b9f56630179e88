// Which Windows the 32-bit installation action runs on.
#pragma once

// True when this 32-bit process runs on 64-bit Windows; false when that cannot be told.
bool IsWow64();
