# Sources of the transfer subsystem: core files (standard library only) and Qt files.
# Capture to file.
list(APPEND VERRIN_CORE_SOURCES transfer/Capture.cpp)
list(APPEND VERRIN_QT_SOURCES transfer/CCaptureFile.cpp)
