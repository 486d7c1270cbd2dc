# Sources of the netview subsystem: core files (standard library only) and Qt files.
list(APPEND VERRIN_CORE_SOURCES
  netview/MeshTable.cpp netview/MeshScan.cpp netview/MeshLayout.cpp netview/MeshView.cpp
  netview/MeshChanges.cpp)
list(APPEND VERRIN_QT_SOURCES
  netview/CMeshPainter.cpp netview/CNetViewDlg.cpp netview/CCloseNetview.cpp
  netview/RunNetView.cpp)
