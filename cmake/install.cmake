# What `cmake --install` and the Debian package put where: the player and
# objtool, the player's data under share/plinkar, the desktop entry, icons,
# AppStream metadata and manual pages, and the model library with its CMake
# package and pkg-config file.
include(GNUInstallDirs)

# The player finds its data at ../share/plinkar from its own folder.
if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin" OR NOT CMAKE_INSTALL_DATADIR STREQUAL "share")
  message(FATAL_ERROR "the player expects bin/ and share/ side by side")
endif()

install(TARGETS plinkar objtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(PLINKAR_SHARE ${CMAKE_INSTALL_DATADIR}/plinkar)
install(FILES data/piano.obj data/piano.mtl data/drum.obj data/drum.mtl data/gita.obj
              data/gita.mtl DESTINATION ${PLINKAR_SHARE}/data)
install(FILES data/songs/demo.mid DESTINATION ${PLINKAR_SHARE}/data/songs)
foreach(set piano drum gita)
  install(DIRECTORY wav/${set} DESTINATION ${PLINKAR_SHARE}/wav FILES_MATCHING PATTERN "*.wav")
endforeach()
install(FILES wav/COPYING.fluid-soundfont DESTINATION ${PLINKAR_SHARE}/wav)
install(FILES resources/backdrop.bmp resources/about_icon.bmp resources/about_version.bmp
              resources/about_note.bmp resources/about_ok.bmp
        DESTINATION ${PLINKAR_SHARE}/resources)

install(FILES packaging/io.github.plinkar.Plinkar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/io.github.plinkar.Plinkar.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES resources/icons/plinkar-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME plinkar.png)
endforeach()

# The model library for other projects: headers under include/plinkar, so
# that glm/ never mixes with another library's.
set_target_properties(plinkar_glm PROPERTIES EXPORT_NAME glm)
set_target_properties(plinkar_image PROPERTIES EXPORT_NAME image)
install(TARGETS plinkar_glm plinkar_image EXPORT PlinkarGlmTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES glm/glm.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinkar/glm)
install(FILES image/bmp.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinkar/image)
set(PLINKAR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/PlinkarGlm)
install(EXPORT PlinkarGlmTargets NAMESPACE plinkar:: DESTINATION ${PLINKAR_CMAKE_DIR})
include(CMakePackageConfigHelpers)
configure_package_config_file(packaging/PlinkarGlmConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfig.cmake INSTALL_DESTINATION ${PLINKAR_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfigVersion.cmake
        DESTINATION ${PLINKAR_CMAKE_DIR})

# pkg-config finds the prefix from the file's own place: relocatable.
file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCDIR "${PC_PREFIX_FROM_PCDIR}")
configure_file(packaging/plinkar-glm.pc.in ${CMAKE_CURRENT_BINARY_DIR}/plinkar-glm.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plinkar-glm.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Manual pages and Debian's changelog, compressed as Debian's policy asks
# (gzip -n: no name or time stamp, the same bytes on every build).
set(PLINKAR_DOC ${CMAKE_INSTALL_DATADIR}/doc/plinkar)
set(compressed)
foreach(entry "plinkar.6;${CMAKE_INSTALL_MANDIR}/man6" "objtool.1;${CMAKE_INSTALL_MANDIR}/man1"
              "changelog;${PLINKAR_DOC}")
  list(GET entry 0 name)
  list(GET entry 1 destination)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${name} > ${gz}
    DEPENDS packaging/${name} VERBATIM)
  list(APPEND compressed ${gz})
  install(FILES ${gz} DESTINATION ${destination})
endforeach()
add_custom_target(plinkar_compressed_docs ALL DEPENDS ${compressed})
install(FILES packaging/copyright DESTINATION ${PLINKAR_DOC})

# cpack -G DEB in the build folder: plinkar_<version>_amd64.deb.
set(CPACK_PACKAGE_NAME plinkar)
set(CPACK_PACKAGE_VENDOR "The Plinkar developers")
set(CPACK_PACKAGE_CONTACT "Plinkar developers <plinkar-dev@lists.plinkar.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D piano, drum kit and guitar played from the keyboard")
set(CPACK_PACKAGE_DESCRIPTION
    "Plinkar draws a piano, a drum kit and a guitar with OpenGL and plays them\n\
from the computer keyboard with real instrument sounds: the letter rows are\n\
the piano's keys, the editing keys hit the drums and the number keys hold\n\
guitar chords. A help card beside the player lists every key.\n\
.\n\
The package also holds objtool, which describes and converts Wavefront OBJ\n\
models, and the model library it is built on, for other programs.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/plinkar/plinkar")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
