#pragma once
// Loading and saving the settings of one profile through the registry
// accessor: which values exist, their defaults and the order of access. Each
// of these is one batch of the accessor: one read of the store, and at most
// one write, when something changed. When another process keeps the store
// locked past the wait, each returns that lock and its holder, and reads and
// writes nothing; otherwise nothing (a store that cannot be opened at all
// leaves the defaults, as the accessor's rules say).

#include "settings/Registry.h"
#include "settings/Settings.h"

#include <string>

// Root of every profile key, with its trailing backslash; a profile's key is
// this path followed by the profile name.
inline constexpr const char *kSettingsBasePath = "SOFTWARE\\Brondel\\Verrin\\";

// Where a port number does not name a device, the device path is kept as the
// string "PortName", loaded and saved right after "CommPort" (which stays).
#ifdef _WIN32
inline constexpr bool kKeepsPortName = false;
#else
inline constexpr bool kKeepsPortName = true;
#endif

std::string ProfileKeyPath(const std::string &profile);

// Reads every setting of the profile into `settings`: each field first takes
// its default, then the stored value; what cannot be read is stored with the
// default. "AppendLF" and "FlowEnabled" have no default of their own: a missing
// one is stored with what `settings` holds on entry. Debug mode becomes 0 and
// the BD address text is left as it is: neither is ever read.
std::optional<LockBusy> LoadSettings(Registry &registry, const std::string &profile, Settings &settings);

// Writes every setting of the profile, "BdAddr" and "DebugMode" included. A
// write that fails is skipped; the others are still written.
std::optional<LockBusy> SaveSettings(Registry &registry, const std::string &profile, const Settings &settings);

// The choice of an image file reaches the profile at once.
std::optional<LockBusy> SaveDownloadChoice(Registry &registry, const std::string &profile,
                                           const Settings &settings);

// The profile's key with every value a save writes, as the export text of
// the registry editor: what a save that could not reach the store leaves
// beside it, for the user to take over.
std::string ProfileExport(const std::string &profile, const Settings &settings);
