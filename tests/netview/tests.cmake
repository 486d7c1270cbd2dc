# Tests of the mesh network view.
verrin_core_test(netview_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/MeshTableTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeshScanTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MeshLayoutTest.cpp)
