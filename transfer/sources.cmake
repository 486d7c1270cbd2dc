# Sources of the transfer subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES
  transfer/Crc16.cpp transfer/YmodemBlock.cpp transfer/TraceNames.cpp
  transfer/YmodemSender.cpp transfer/ImageFile.cpp transfer/LoaderRules.cpp)
# A tray of modules loaded at once (verrin-cli load on many ports).
list(APPEND VERRIN_CORE_SOURCES transfer/ModuleLoad.cpp transfer/TrayRules.cpp)
list(APPEND VERRIN_QT_SOURCES
  transfer/CLoadImage.cpp transfer/CDebug.cpp transfer/SelectDownloadFile.cpp)
# Capture to file.
list(APPEND VERRIN_CORE_SOURCES transfer/Capture.cpp)
list(APPEND VERRIN_QT_SOURCES transfer/CCaptureFile.cpp)
