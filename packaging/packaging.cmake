# Installs Verrin as a Debian program and builds its package with CPack:
# `cmake --build build --target package` gives verrin_<version>_<arch>.deb.
# The manual pages are written from the programs' own --help and --version
# by help2man, the PNG icons of the hicolor theme from the SVG.
# `cmake --install` lays the files out as Debian does, under /usr, unless a
# prefix is given (--prefix /usr/local for a hand install beside apt's files).
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Where cmake --install puts Verrin" FORCE)
endif()
include(GNUInstallDirs)
find_program(HELP2MAN help2man REQUIRED)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)

set(here ${CMAKE_CURRENT_LIST_DIR})
set(out ${CMAKE_BINARY_DIR}/packaging)
set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/verrin)
set(generated "")

install(TARGETS verrin verrin-cli verrin-sim verrin-line RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${here}/org.example.verrin.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${here}/org.example.verrin.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${here}/verrin-cli.bash RENAME verrin-cli
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions)
install(FILES ${here}/copyright DESTINATION ${docdir})

set(icons ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/resources/verrin.svg DESTINATION ${icons}/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  set(png ${out}/icons/${size}/verrin.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/icons/${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PROJECT_SOURCE_DIR}/resources/verrin.svg
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/verrin.svg VERBATIM)
  install(FILES ${png} DESTINATION ${icons}/${size}x${size}/apps)
  list(APPEND generated ${png})
endforeach()

# verrin needs a platform even to print its help; offscreen needs no display.
foreach(program verrin verrin-cli verrin-sim verrin-line)
  set(commands "")
  if(program STREQUAL "verrin-cli")
    set(commands " load scan send")
  endif()
  set(page ${out}/man/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}/man
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${HELP2MAN} --no-info --section=1 --include=${here}/man/${program}.h2m --output=${page}
            "sh ${here}/man-text.sh $<TARGET_FILE:${program}>${commands}"
    COMMAND ${GZIP} -9nf ${page}
    DEPENDS ${program} ${here}/man-text.sh ${here}/man/${program}.h2m VERBATIM)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND generated ${page}.gz)
endforeach()

# A native package's changelog: one entry for this version, dated at configure
# time (or SOURCE_DATE_EPOCH, for a reproducible build).
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(CONFIGURE OUTPUT ${out}/changelog CONTENT
"verrin (${PROJECT_VERSION}) unstable; urgency=medium

  * Verrin ${PROJECT_VERSION}.

 -- Verrin developers <verrin@example.org>  ${changelog_date}
")
add_custom_command(OUTPUT ${out}/changelog.gz
  COMMAND ${GZIP} -9nkf ${out}/changelog
  DEPENDS ${out}/changelog VERBATIM)
install(FILES ${out}/changelog.gz DESTINATION ${docdir})
list(APPEND generated ${out}/changelog.gz)

add_custom_target(verrin_package_files ALL DEPENDS ${generated})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME verrin)
set(CPACK_PACKAGE_CONTACT "Verrin developers <verrin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test terminal for a LoRa radio module on a serial port")
# The extended description, wrapped as the control file shows it.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Verrin drives a LoRa radio module attached over a serial port with its"
  "at+ab text commands and shows the answers: a terminal window with command"
  "buttons and binary test messages, capture to a file, a view of the"
  "module's mesh network, and firmware download."
  ""
  "verrin-cli does the download, the mesh scan and a command exchange"
  "without a window, for scripts and production lines; verrin-sim plays the"
  "module on a pseudo-terminal and verrin-line emulates a serial line, so"
  "that everything can be tried without a module.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
