# What `cmake --install` and the Debian packages put where, in three parts:
#   player  (plinkar)            the player and objtool, the desktop entry,
#                                icons, AppStream metadata and manual pages
#   data    (plinkar-data)       the player's models, sounds and pictures
#   dev     (libplinkar-glm-dev) the model library with its CMake package and
#                                pkg-config file
include(GNUInstallDirs)

# The player finds its data at ../share/plinkar from its own folder.
if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin" OR NOT CMAKE_INSTALL_DATADIR STREQUAL "share")
  message(FATAL_ERROR "the player expects bin/ and share/ side by side")
endif()

install(TARGETS plinkar objtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT player)

set(PLINKAR_SHARE ${CMAKE_INSTALL_DATADIR}/plinkar)
install(FILES data/piano.obj data/piano.mtl data/drum.obj data/drum.mtl data/gita.obj
              data/gita.mtl DESTINATION ${PLINKAR_SHARE}/data COMPONENT data)
install(FILES data/songs/demo.mid DESTINATION ${PLINKAR_SHARE}/data/songs COMPONENT data)
foreach(set piano drum gita)
  install(DIRECTORY wav/${set} DESTINATION ${PLINKAR_SHARE}/wav COMPONENT data
          FILES_MATCHING PATTERN "*.wav")
endforeach()
install(FILES resources/backdrop.bmp resources/about_icon.bmp resources/about_version.bmp
              resources/about_note.bmp resources/about_ok.bmp
        DESTINATION ${PLINKAR_SHARE}/resources COMPONENT data)

install(FILES packaging/io.github.plinkar.Plinkar.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT player)
install(FILES packaging/io.github.plinkar.Plinkar.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT player)
foreach(size 16 32 48 64 128 256)
  install(FILES resources/icons/plinkar-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME plinkar.png COMPONENT player)
endforeach()

# The model library for other projects: headers under include/plinkar, so
# that glm/ never mixes with another library's.
set_target_properties(plinkar_glm PROPERTIES EXPORT_NAME glm)
set_target_properties(plinkar_image PROPERTIES EXPORT_NAME image)
install(TARGETS plinkar_glm plinkar_image EXPORT PlinkarGlmTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES glm/glm.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinkar/glm COMPONENT dev)
install(FILES image/bmp.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plinkar/image COMPONENT dev)
set(PLINKAR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/PlinkarGlm)
install(EXPORT PlinkarGlmTargets NAMESPACE plinkar:: DESTINATION ${PLINKAR_CMAKE_DIR}
        COMPONENT dev)
include(CMakePackageConfigHelpers)
configure_package_config_file(packaging/PlinkarGlmConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfig.cmake INSTALL_DESTINATION ${PLINKAR_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PlinkarGlmConfigVersion.cmake
        DESTINATION ${PLINKAR_CMAKE_DIR} COMPONENT dev)

# pkg-config finds the prefix from the file's own place: relocatable.
file(RELATIVE_PATH PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" PC_PREFIX_FROM_PCDIR "${PC_PREFIX_FROM_PCDIR}")
configure_file(packaging/plinkar-glm.pc.in ${CMAKE_CURRENT_BINARY_DIR}/plinkar-glm.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/plinkar-glm.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# Manual pages, compressed as Debian's policy asks (gzip -n: no name or time
# stamp, the same bytes on every build); each package's copyright file and
# changelog.
set(compressed)
macro(compress name)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${name} > ${gz}
    DEPENDS packaging/${name} VERBATIM)
  list(APPEND compressed ${gz})
endmacro()
compress(plinkar.6)
install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT player)
compress(objtool.1)
install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT player)
compress(changelog)
foreach(entry "player;plinkar" "data;plinkar-data" "dev;libplinkar-glm-dev")
  list(GET entry 0 component)
  list(GET entry 1 package)
  install(FILES ${gz} packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
          COMPONENT ${component})
endforeach()
add_custom_target(plinkar_compressed_docs ALL DEPENDS ${compressed})

# cpack -G DEB in the build folder: one package for each part, named
# <package>_<version>_<architecture>.deb. PLINKAR_PACKAGE_VERSION, when set,
# is the packages' version (scripts/package.sh names the commit in it).
set(PLINKAR_PACKAGE_VERSION "${PROJECT_VERSION}" CACHE STRING "the Debian packages' version")
set(CPACK_PACKAGE_NAME plinkar)
set(CPACK_PACKAGE_VERSION "${PLINKAR_PACKAGE_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Plinkar developers")
set(CPACK_PACKAGE_CONTACT "Plinkar developers <plinkar-dev@lists.plinkar.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/plinkar/plinkar")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL player data dev)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_PLAYER_PACKAGE_NAME plinkar)
set(CPACK_DEBIAN_PLAYER_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PLAYER_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PLAYER_PACKAGE_DEPENDS "plinkar-data (= ${PLINKAR_PACKAGE_VERSION})")
set(CPACK_DEBIAN_PLAYER_DESCRIPTION
    "3D piano, drum kit and guitar played from the keyboard\n\
Plinkar draws a piano, a drum kit and a guitar with OpenGL and plays them\n\
from the computer keyboard with real instrument sounds: the letter rows are\n\
the piano's keys, the editing keys hit the drums and the number keys hold\n\
guitar chords. A help card beside the player lists every key.\n\
.\n\
The package also holds objtool, which describes and converts Wavefront OBJ\n\
models.")

set(CPACK_DEBIAN_DATA_PACKAGE_NAME plinkar-data)
set(CPACK_DEBIAN_DATA_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_DATA_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_DATA_DESCRIPTION
    "models, sounds and pictures for the Plinkar instrument player\n\
The piano, drum kit and guitar models, the instruments' sounds (rendered\n\
from the FluidR3 GM soundfont) and the help card's pictures that the\n\
plinkar player reads.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libplinkar-glm-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# Programs that link the library link GL (the CMake package's
# find_dependency(OpenGL), the pkg-config file's "Requires: gl"); GLU is the
# player's alone.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libgl-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "Wavefront OBJ model library of the Plinkar player (static)\n\
Reads Wavefront OBJ and MTL files into a model, welds, fits, computes facet\n\
and vertex normals, generates texture coordinates, writes OBJ files and\n\
draws the model with OpenGL; also reads BMP pictures. This package holds\n\
the headers, the static libraries, a CMake package and a pkg-config file.")
include(CPack)
