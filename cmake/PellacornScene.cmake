# pellacorn_add_scene(NAME SOURCES...)
#
# A program made of the Pellacorn shell (the loop, the window icon and the
# log) and a scene of your own. The scene's sources (or objects, such as
# $<TARGET_OBJECTS:app>) must define the five hooks of src/main.h: InitGL,
# Initialize, Update, Draw and Deinitialize. They may call Log,
# TerminateApplication and ToggleFullscreen, and must set AppStatus in
# Initialize.
function(pellacorn_add_scene NAME)
  add_executable(${NAME} ${ARGN} $<TARGET_OBJECTS:shell> $<TARGET_OBJECTS:icon>
                 $<TARGET_OBJECTS:error>)
  target_include_directories(${NAME} PRIVATE ${PELLACORN_SOURCE_DIR}/src)
  target_link_libraries(${NAME} PRIVATE PkgConfig::SDL PkgConfig::GLU m Threads::Threads)
endfunction()
