# pellacorn_add_scene(NAME SOURCES...)
#
# A program made of the Pellacorn shell (the loop, the window icon and the
# log) and a scene of your own, linked statically: nothing of Pellacorn is
# loaded at run time. The scene's sources (or objects, such as
# $<TARGET_OBJECTS:app>) must define the five hooks of main.h: InitGL,
# Initialize, Update, Draw and Deinitialize. They may call Log,
# TerminateApplication and ToggleFullscreen, and must set AppStatus in
# Initialize. The same file serves this repository and the installed kit.
#
# Where the capture host is there (FFmpeg's development files were found),
# it also makes NAME-capture: the same sources linked with Pellacorn::capture,
# which writes a video of the scene with its sound (NAME-capture --help).
function(pellacorn_add_scene NAME)
  add_executable(${NAME} ${ARGN})
  target_link_libraries(${NAME} PRIVATE Pellacorn::shell)
  if(TARGET Pellacorn::capture)
    add_executable(${NAME}-capture ${ARGN})
    target_link_libraries(${NAME}-capture PRIVATE Pellacorn::capture)
  else()
    message(STATUS "${NAME}-capture is left out: FFmpeg's development files are missing")
  endif()
endfunction()
