# Prints, a line each, the files of the given source lists (LISTS) as the
# Windows build selects them. Run with cmake -DROOT=... -DLISTS=... -P.
set(WIN32 1)
foreach(list VERRIN_CORE_SOURCES VERRIN_OS_SOURCES VERRIN_GUI_SOURCES VERRIN_QT_SOURCES)
  set(${list} "")
endforeach()
foreach(sub common app serial settings transfer netview dialogs instance)
  include(${ROOT}/${sub}/sources.cmake)
endforeach()
foreach(list ${LISTS})
  foreach(file ${${list}})
    message("${file}")
  endforeach()
endforeach()
