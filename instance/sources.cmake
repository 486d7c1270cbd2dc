# Sources of the instance subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES
  instance/StoreRegion.cpp instance/SharedStore.cpp instance/ProfileLock.cpp instance/ProfileSession.cpp)
if(WIN32)
  list(APPEND VERRIN_OS_SOURCES instance/CSharedMemoryWin.cpp)
else()
  list(APPEND VERRIN_OS_SOURCES instance/CSharedMemory.cpp)
endif()
