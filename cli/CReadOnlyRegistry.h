#pragma once
// The profile store, looked at without being changed. A load of the settings
// stores the default of every value it cannot read; here those writes are
// refused, so that a script that only borrows a profile's port leaves the
// profile exactly as the window left it. Reading takes no lock, so a window
// stopped while it saves never keeps a script waiting.

#include "settings/CRegistry.h"

class CReadOnlyRegistry : public CRegistry {
protected:
    RegistryOpening Open() override;
};
