#pragma once
// The version text that the main window's and the mesh view's titles carry
// (set once in CMake, where --version takes it too).

inline constexpr const char *kVersionText = VERRIN_VERSION_TEXT;
