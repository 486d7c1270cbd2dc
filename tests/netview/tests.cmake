# Tests of the mesh network view.
verrin_core_test(netview_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/MeshTableTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeshScanTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeshChangesTest.cpp)
verrin_qt_test(netview_qt_tests
  ${CMAKE_CURRENT_LIST_DIR}/NetViewDialogsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NetViewPictureTest.cpp)
