# pellacorn_add_scene(NAME SOURCES...)
#
# A program made of the Pellacorn shell (the loop, the window icon and the
# log) and a scene of your own, linked statically: nothing of Pellacorn is
# loaded at run time. The scene's sources (or objects, such as
# $<TARGET_OBJECTS:app>) must define the five hooks of <pellacorn/main.h>: InitGL,
# Initialize, Update, Draw and Deinitialize. They may call Log,
# TerminateApplication and ToggleFullscreen, and must set AppStatus in
# Initialize. The same file serves this repository and the installed kit.
#
# Given source files, it also makes NAME-live (pellacorn_add_live_scene,
# below) and, where Emscripten is found, NAME-web (pellacorn_add_web_scene,
# PellacornWeb.cmake). Where the capture host is there (FFmpeg's development files were
# found), it also makes NAME-capture: the same sources linked with
# Pellacorn::capture, which writes a video of the scene with its sound
# (NAME-capture --help).
function(pellacorn_add_scene NAME)
  add_executable(${NAME} ${ARGN})
  target_link_libraries(${NAME} PRIVATE Pellacorn::shell)
  if(TARGET Pellacorn::capture)
    add_executable(${NAME}-capture ${ARGN})
    target_link_libraries(${NAME}-capture PRIVATE Pellacorn::capture)
    pellacorn_follow_scene(${NAME} ${NAME}-capture)
  else()
    message(STATUS "${NAME}-capture is left out: FFmpeg's development files are missing")
  endif()
  # Objects from elsewhere can be neither rebuilt on a save nor compiled
  # for the browser.
  if(NOT ARGN MATCHES "\\$<")
    pellacorn_add_live_scene(${NAME} ${ARGN})
    pellacorn_add_web_scene(${NAME} ${ARGN})
  endif()
endfunction()

# pellacorn_follow_scene(NAME TARGET)
#
# What the project asks for the scene's program NAME, before or after this
# call (target_compile_options, definitions, include folders, libraries),
# applies to TARGET too, which builds the same sources for another host.
function(pellacorn_follow_scene NAME TARGET)
  foreach(property COMPILE_OPTIONS COMPILE_DEFINITIONS INCLUDE_DIRECTORIES COMPILE_FEATURES)
    set_property(TARGET ${TARGET} APPEND PROPERTY ${property}
                 "$<TARGET_PROPERTY:${NAME},${property}>")
  endforeach()
  # Its libraries but the shell, which each host brings in its own way.
  target_link_libraries(${TARGET} PRIVATE
    "$<FILTER:$<TARGET_PROPERTY:${NAME},LINK_LIBRARIES>,EXCLUDE,^Pellacorn::shell$>")
endfunction()

# pellacorn_add_live_scene(NAME SOURCES...)
#
# NAME-live: the same window and scene, with the scene built as a library
# (NAME-live-scene) that is rebuilt and swapped into the running program
# whenever one of SOURCES, or a header in their folders, is saved. The
# program knows this build tree: it rebuilds through it.
function(pellacorn_add_live_scene NAME)
  set(sources "")
  foreach(source ${ARGN})
    get_filename_component(path ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND sources ${path})
  endforeach()
  # Each version its own copy of every symbol, so that a new one is never
  # bound to an old one's (gcc's unique symbols would be).
  add_library(${NAME}-live-scene MODULE ${sources})
  target_link_libraries(${NAME}-live-scene PRIVATE Pellacorn::scene)
  # A function in a section of its own is reached through relocations
  # alone, so that the live program can tell from the objects whether the
  # code of InitGL changed.
  target_compile_options(${NAME}-live-scene PRIVATE
                         $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique> -ffunction-sections)
  if(TARGET ${NAME})
    pellacorn_follow_scene(${NAME} ${NAME}-live-scene)
  endif()
  # A scene's call of one of its own hooks stays in its own version, not in
  # the program's hooks of the same names.
  target_link_options(${NAME}-live-scene PRIVATE -Wl,-Bsymbolic-functions)
  list(TRANSFORM sources REPLACE "(.+)" "\"\\1\"")
  list(JOIN sources ", " source_list)
  set(config ${CMAKE_CURRENT_BINARY_DIR}/${NAME}-live-config.cpp)
  file(GENERATE OUTPUT ${config} CONTENT "// Written by pellacorn_add_live_scene for ${NAME}-live.
struct SDL_Surface;
bool InitGL(SDL_Surface* S);
// Naming a hook of the kit's live host links it in.
__attribute__((used)) static bool (*const LiveHost)(SDL_Surface*) = InitGL;
extern const char* const LiveLibrary = \"$<TARGET_FILE:${NAME}-live-scene>\";
extern const char* const LiveBuildCommand[] = {\"${CMAKE_COMMAND}\", \"--build\",
    \"${CMAKE_BINARY_DIR}\", \"--target\", \"${NAME}-live-scene\", 0};
extern const char* const LiveSources[] = {${source_list}, 0};
extern const char* const LiveObjects[] = {\"$<JOIN:$<TARGET_OBJECTS:${NAME}-live-scene>,\", \">\", 0};
")
  add_executable(${NAME}-live ${config})
  target_link_libraries(${NAME}-live PRIVATE Pellacorn::live)
  # The scene library takes the shell's names from the program.
  set_target_properties(${NAME}-live PROPERTIES ENABLE_EXPORTS ON)
  add_dependencies(${NAME}-live ${NAME}-live-scene)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/PellacornWeb.cmake)
