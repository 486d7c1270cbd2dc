# Sources of the dialogs subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES dialogs/ColorText.cpp dialogs/SendCmdRules.cpp)
list(APPEND VERRIN_QT_SOURCES dialogs/CColorEdit.cpp dialogs/CSendCmd.cpp)
