# Sources of the netview subsystem: core files (standard library only), the
# painter and the pictures (Qt Gui and Svg, no window), and the windows.
list(APPEND VERRIN_CORE_SOURCES
  netview/MeshTable.cpp netview/MeshScan.cpp netview/MeshLayout.cpp netview/MeshView.cpp
  netview/MeshChanges.cpp netview/MeshPicture.cpp)
list(APPEND VERRIN_GUI_SOURCES netview/CMeshPainter.cpp netview/CMeshPicture.cpp)
list(APPEND VERRIN_QT_SOURCES
  netview/CNetViewDlg.cpp netview/CCloseNetview.cpp netview/RunNetView.cpp)
