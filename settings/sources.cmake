# Sources of the settings subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES
  settings/RegExport.cpp settings/Registry.cpp settings/SettingsStore.cpp)
list(APPEND VERRIN_OS_SOURCES settings/RegFileFormat.cpp settings/CRegistry.cpp)
if(NOT WIN32)
  list(APPEND VERRIN_OS_SOURCES settings/SettingsFileLock.cpp)
endif()
