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

    // Runs the sequence once; only a failed service registration escapes it as an exception.
    int execute(bool silent);
};
