# Types and helpers that every layer uses: user messages, the poll dispatch,
# dialog units, the version text, and the bridge from termination signals.
list(APPEND VERRIN_CORE_SOURCES common/PollDispatch.cpp common/DialogUnits.cpp)
list(APPEND VERRIN_OS_SOURCES common/SignalBridge.cpp)
