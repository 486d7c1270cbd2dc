# Sources of the app subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES
  app/TerminalText.cpp app/TerminalLines.cpp app/MainWindowRules.cpp
  app/KeyInput.cpp app/CommandButtons.cpp app/LineTest.cpp app/ProfileMessages.cpp
  app/SlicedReceive.cpp)
list(APPEND VERRIN_QT_SOURCES
  app/CVerrinApp.cpp app/CVerrinDlg.cpp app/CTerminalView.cpp app/CMessageBoxes.cpp)
