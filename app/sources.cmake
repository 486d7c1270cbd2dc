# Sources of the app subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES
  app/TerminalText.cpp app/PollDispatch.cpp app/MainWindowRules.cpp app/KeyInput.cpp)
list(APPEND VERRIN_CORE_SOURCES app/CommandButtons.cpp)
