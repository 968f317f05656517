# The Windows program: the player with its native entry, shell window and
# resources, linked statically against freeglut and SDL2 built for mingw-w64,
# with RtMidi's sources compiled in.
#   FREEGLUT_ROOT   freeglut for Windows, installed (include/GL, lib/libfreeglut_static.a)
#   SDL2_ROOT       SDL2 for Windows, installed (include/SDL2, lib/libSDL2.a)
#   RTMIDI_SOURCE   the folder holding RtMidi.cpp, RtMidi.h, rtmidi_c.cpp, rtmidi_c.h
#   FAST_FLOAT_DIR  the directory that holds fast_float/ (header-only)
set(FREEGLUT_ROOT "" CACHE PATH "freeglut for Windows, installed")
set(SDL2_ROOT "" CACHE PATH "SDL2 for Windows, installed")
set(RTMIDI_SOURCE "" CACHE PATH "RtMidi's sources")
set(FAST_FLOAT_DIR "" CACHE PATH "directory holding fast_float/fast_float.h")
enable_language(RC)

set(PLINKAR_WARNINGS -Wall -Wextra)
add_compile_definitions(UNICODE _UNICODE FREEGLUT_STATIC)

add_library(plinkar_glm STATIC ${PLINKAR_GLM_SOURCES})
target_include_directories(plinkar_glm PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_include_directories(plinkar_glm SYSTEM PRIVATE ${FAST_FLOAT_DIR})
target_compile_options(plinkar_glm PRIVATE ${PLINKAR_WARNINGS} -fno-exceptions -UNDEBUG)

# RtMidi with its Windows MM backend; its own code throws, so it keeps
# exceptions, which the C interface catches.
add_library(rtmidi STATIC ${RTMIDI_SOURCE}/RtMidi.cpp ${RTMIDI_SOURCE}/rtmidi_c.cpp)
target_include_directories(rtmidi SYSTEM PUBLIC ${RTMIDI_SOURCE})
target_compile_definitions(rtmidi PUBLIC __WINDOWS_MM__)
target_link_libraries(rtmidi PUBLIC winmm)

add_library(sdl2_static INTERFACE)
target_include_directories(sdl2_static SYSTEM INTERFACE ${SDL2_ROOT}/include/SDL2)
target_link_libraries(sdl2_static INTERFACE ${SDL2_ROOT}/lib/libSDL2.a m user32 gdi32 winmm
                      imm32 ole32 oleaut32 version uuid advapi32 setupapi shell32)

# Sound, MIDI and songs as on Linux, on Windows' own systems.
add_library(plinkar_platform STATIC platform/sound.cpp platform/mixer.cpp
            platform/sound_win32.cpp platform/midi.cpp platform/song.cpp)
target_include_directories(plinkar_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(plinkar_platform PRIVATE ${PLINKAR_WARNINGS})
target_link_libraries(plinkar_platform PUBLIC sdl2_static rtmidi winmm)

add_executable(plinkar WIN32
  app/win32_main.cpp
  app/command_line.cpp
  app/player_session.cpp
  ${PLINKAR_PLAYER_SOURCES}
  platform/glut_init.cpp
  resources/plinkar.rc
)
target_include_directories(plinkar PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                           ${FREEGLUT_ROOT}/include ${CMAKE_CURRENT_BINARY_DIR}/generated)
# The version for the resource compiler's VERSIONINFO.
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/plinkar_version.h CONTENT
"#define PLINKAR_VERSION_NUMBERS ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0
#define PLINKAR_VERSION_TEXT \"${PROJECT_VERSION}\"
")
set_property(SOURCE resources/plinkar.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/resources/plinkar.manifest)
target_compile_definitions(plinkar PRIVATE PLINKAR_VERSION="${PROJECT_VERSION}")
target_compile_options(plinkar PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${PLINKAR_WARNINGS} -fno-exceptions>)
# One file to copy: no runtime DLLs beside the system's own; stripped.
target_link_options(plinkar PRIVATE -municode -mwindows -static -s)
target_link_libraries(plinkar PRIVATE plinkar_glm plinkar_platform
                      ${FREEGLUT_ROOT}/lib/libfreeglut_static.a opengl32 glu32 winmm gdi32)

# Converts the guitar's code-page-949 names as the player does, run under Wine.
add_executable(sound_names_test tests/windows/sound_names_test.cpp platform/sound_win32.cpp)
target_include_directories(sound_names_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(sound_names_test PRIVATE ${PLINKAR_WARNINGS})
target_link_options(sound_names_test PRIVATE -municode -static)
target_link_libraries(sound_names_test PRIVATE winmm)

# The model library read on one thread and on several, compared under Wine.
add_executable(read_compare tests/windows/read_compare.cpp)
target_compile_options(read_compare PRIVATE ${PLINKAR_WARNINGS})
target_link_options(read_compare PRIVATE -static)
target_link_libraries(read_compare PRIVATE plinkar_glm opengl32)

# What Windows reads of a program's version information and manifest, run under Wine.
add_executable(exe_resources tests/windows/exe_resources.cpp)
target_include_directories(exe_resources PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(exe_resources PRIVATE ${PLINKAR_WARNINGS})
target_link_options(exe_resources PRIVATE -municode -static)
target_link_libraries(exe_resources PRIVATE version)

# The installer: `cpack -G NSIS` in the build folder packs
# PLINKAR_WINDOWS_STAGE, the program's folder that scripts/build-windows.sh
# stages for the zip too, into plinkar-<version>-win64.exe. It installs into
# a folder the user chooses, adds a Start-menu shortcut and an uninstall
# entry, and its uninstaller removes every file it put down.
set(PLINKAR_WINDOWS_STAGE "" CACHE PATH "the program's folder as the installer installs it")
install(DIRECTORY "${PLINKAR_WINDOWS_STAGE}/" DESTINATION .)
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Plinkar)
set(CPACK_PACKAGE_VENDOR "The Plinkar developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "plinkar-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A 3D piano, drum kit and guitar played from the keyboard")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Plinkar)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Plinkar)
set(CPACK_PACKAGE_EXECUTABLES plinkar Plinkar)
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE")
set(CPACK_NSIS_PACKAGE_NAME Plinkar)
set(CPACK_NSIS_DISPLAY_NAME Plinkar)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON "${CMAKE_CURRENT_SOURCE_DIR}/resources/plinkar.ico")
set(CPACK_NSIS_MUI_UNIICON "${CMAKE_CURRENT_SOURCE_DIR}/resources/plinkar.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME plinkar.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_URL_INFO_ABOUT "https://github.com/plinkar/plinkar")
set(CPACK_NSIS_CONTACT "plinkar-dev@lists.plinkar.org")
# A 64-bit installer for the 64-bit program, in Unicode for the guitar's
# Korean file names (NSIS's amd64 stubs are Unicode only).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_EXECUTABLE makensis)
include(CPack)
