# The Windows program: the player with its native entry, shell window and
# resources, linked statically against freeglut built for mingw-w64.
#   FREEGLUT_ROOT   freeglut for Windows, installed (include/GL, lib/libfreeglut_static.a)
#   FAST_FLOAT_DIR  the directory that holds fast_float/ (header-only)
set(FREEGLUT_ROOT "" CACHE PATH "freeglut for Windows, installed")
set(FAST_FLOAT_DIR "" CACHE PATH "directory holding fast_float/fast_float.h")
enable_language(RC)

set(PLINKAR_WARNINGS -Wall -Wextra)
add_compile_definitions(UNICODE _UNICODE FREEGLUT_STATIC)

add_library(plinkar_glm STATIC ${PLINKAR_GLM_SOURCES})
target_include_directories(plinkar_glm PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_include_directories(plinkar_glm SYSTEM PRIVATE ${FAST_FLOAT_DIR})
target_compile_options(plinkar_glm PRIVATE ${PLINKAR_WARNINGS} -fno-exceptions -UNDEBUG)

add_executable(plinkar WIN32
  app/win32_main.cpp
  ${PLINKAR_PLAYER_SOURCES}
  platform/glut_init.cpp
  platform/sound_win32.cpp
  resources/plinkar.rc
)
target_include_directories(plinkar PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
                           ${FREEGLUT_ROOT}/include)
target_compile_options(plinkar PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${PLINKAR_WARNINGS} -fno-exceptions>)
# One file to copy: no runtime DLLs beside the system's own.
target_link_options(plinkar PRIVATE -municode -mwindows -static)
target_link_libraries(plinkar PRIVATE plinkar_glm ${FREEGLUT_ROOT}/lib/libfreeglut_static.a
                      opengl32 glu32 winmm gdi32)

# Converts the guitar's code-page-949 names as the player does, run under Wine.
add_executable(sound_names_test tests/windows/sound_names_test.cpp platform/sound_win32.cpp)
target_include_directories(sound_names_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(sound_names_test PRIVATE ${PLINKAR_WARNINGS})
target_link_options(sound_names_test PRIVATE -municode -static)
target_link_libraries(sound_names_test PRIVATE winmm)
