# Sources of the serial subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES serial/PortNames.cpp)
list(APPEND VERRIN_OS_SOURCES serial/CSerialPort.cpp)
