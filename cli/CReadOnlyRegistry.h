#pragma once
// The profile store, looked at without being changed. A load of the settings
// stores the default of every value it cannot read; here those writes are
// refused, so that a script that only borrows a profile's port leaves the
// profile exactly as the window left it.

#include "settings/CRegistry.h"

class CReadOnlyRegistry : public CRegistry {
protected:
    std::unique_ptr<RegistrySession> Open() override;
};
