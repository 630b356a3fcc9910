# pellacorn_add_scene(NAME SOURCES...)
#
# A program made of the Pellacorn shell (the loop, the window icon and the
# log) and a scene of your own, linked statically: nothing of Pellacorn is
# loaded at run time. The scene's sources (or objects, such as
# $<TARGET_OBJECTS:app>) must define the five hooks of main.h: InitGL,
# Initialize, Update, Draw and Deinitialize. They may call Log,
# TerminateApplication and ToggleFullscreen, and must set AppStatus in
# Initialize. The same file serves this repository and the installed kit.
function(pellacorn_add_scene NAME)
  add_executable(${NAME} ${ARGN})
  target_link_libraries(${NAME} PRIVATE Pellacorn::shell)
endfunction()
