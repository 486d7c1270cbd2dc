# Types and helpers that every layer uses: user messages, the poll dispatch,
# dialog units, the version text, the 8-bit code page, UTC time stamps, locks
# between processes that another process keeps, and the bridge from
# termination signals.
list(APPEND VERRIN_CORE_SOURCES
  common/PollDispatch.cpp common/DialogUnits.cpp common/Utf16Text.cpp common/CodePage.cpp
  common/TickClock.cpp common/LockBusy.cpp common/UtcTime.cpp)
list(APPEND VERRIN_OS_SOURCES common/SignalBridge.cpp common/QtText.cpp)
if(NOT WIN32)
  list(APPEND VERRIN_OS_SOURCES common/ProcessLock.cpp)
endif()
