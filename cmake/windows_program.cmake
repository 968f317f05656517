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
                           ${FREEGLUT_ROOT}/include)
target_compile_definitions(plinkar PRIVATE PLINKAR_VERSION="${PROJECT_VERSION}")
target_compile_options(plinkar PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${PLINKAR_WARNINGS} -fno-exceptions>)
# One file to copy: no runtime DLLs beside the system's own.
target_link_options(plinkar PRIVATE -municode -mwindows -static)
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
