# Sources of the dialogs subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES
  dialogs/ColorText.cpp dialogs/SendCmdRules.cpp dialogs/PortList.cpp dialogs/PortSetupValues.cpp)
list(APPEND VERRIN_QT_SOURCES
  dialogs/CColorEdit.cpp dialogs/CSendCmd.cpp dialogs/CSetColor.cpp dialogs/CPortSetup.cpp)
# Port discovery needs no window: verrin-cli load --all lists the free ports too.
list(APPEND VERRIN_OS_SOURCES dialogs/CPortProber.cpp)
if(WIN32)
  list(APPEND VERRIN_OS_SOURCES dialogs/CPortProbeWin.cpp)
else()
  list(APPEND VERRIN_OS_SOURCES dialogs/CPortProbeUnix.cpp)
endif()
