#pragma once
// The version text that the main window's and the mesh view's titles carry.

inline constexpr const char *kVersionText = "251126G";
