// The installation sequence: one call performs a first installation or an upgrade.
#pragma once

class MainLogic {
public:
    // Result codes of the sequence, passed through as the process exit code.
    enum Result : int {
        Done = 0,
        NotEnoughRights = 1,
        NoCustomization = 9,
        DoneRebootRequired = 100,
    };

    // Runs the sequence once; exceptions the sequence does not handle reach the caller.
    int execute(bool silent);
};

// True when this 32-bit process runs on 64-bit Windows; false when that cannot be told.
bool IsWow64();
