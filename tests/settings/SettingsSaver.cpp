// Saves profile PROFILE through CRegistry ROUNDS times, with other values each
// time, and reads it back after each save: the second process of the test of
// two instances saving at once. Exits with 1 as soon as a value is lost.
// Usage: verrin_settings_saver PROFILE ROUNDS

#include "settings/CRegistry.h"
#include "settings/SettingsSamples.h"
#include "settings/SettingsStore.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    CRegistry registry;
    for (int round = 3; round < 3 + std::atoi(argv[2]); ++round) {
        Settings expected = Sample(argv[1], round);
        SaveSettings(registry, argv[1], expected);
        Settings loaded;
        LoadSettings(registry, argv[1], loaded);
        expected.bdAddr.clear(); // neither is ever loaded
        expected.debugMode = 0;
        if (Fields(loaded) != Fields(expected)) {
            std::printf("profile %s lost values of round %d\n", argv[1], round);
            return 1;
        }
    }
    return 0;
}
