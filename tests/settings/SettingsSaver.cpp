// Saves one profile through CRegistry round after round and reads it back
// after each round: the other process of the test of two instances saving at
// the same time. Exits with 1 as soon as a value of its last round is lost.
// Usage: verrin_settings_saver PROFILE ROUNDS

#include "settings/CRegistry.h"
#include "settings/RoundSettings.h"
#include "settings/SettingsCompare.h"
#include "settings/SettingsStore.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    const std::string profile = argv[1];
    const int rounds = std::atoi(argv[2]);
    CRegistry registry;
    for (int round = 1; round <= rounds; ++round) {
        const Settings saved = RoundSettings(profile, round);
        SaveSettings(registry, profile, saved);
        Settings loaded;
        LoadSettings(registry, profile, loaded);
        Settings expected = saved;
        expected.bdAddr.clear();
        expected.debugMode = 0;
        if (Fields(loaded) != Fields(expected)) {
            std::printf("profile %s lost values of round %d\n", profile.c_str(), round);
            return 1;
        }
    }
    return 0;
}
