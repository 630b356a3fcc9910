# The installed Pellacorn kit for find_package(Pellacorn): the shell as the
# static library Pellacorn::shell, and pellacorn_add_scene(NAME SOURCES...)
# to make a program of it and a scene's sources.
include(CMakeFindDependencyMacro)
find_dependency(PkgConfig)
find_dependency(Threads)
# The libraries that the shell and its headers use, under a name of the
# kit's own so that a project's own pkg-config targets are left alone.
pkg_check_modules(Pellacorn_DEPS QUIET IMPORTED_TARGET sdl SDL_image SDL_mixer gl glu)
if(NOT Pellacorn_DEPS_FOUND)
  set(Pellacorn_FOUND FALSE)
  set(Pellacorn_NOT_FOUND_MESSAGE
      "the development files of SDL 1.2, SDL_image, SDL_mixer, GL or GLU are missing")
  return()
endif()
if(NOT TARGET Pellacorn::shell)
  include(${CMAKE_CURRENT_LIST_DIR}/PellacornTargets.cmake)
endif()
# The capture host, Pellacorn::capture, for NAME-capture programs where
# FFmpeg's development files are there too; without them
# pellacorn_add_scene makes NAME alone.
pkg_check_modules(Pellacorn_CAPTURE_DEPS QUIET IMPORTED_TARGET libavformat libavcodec libswscale
                  libswresample libavutil)
set(Pellacorn_CAPTURE_TARGETS ${CMAKE_CURRENT_LIST_DIR}/PellacornCaptureTargets.cmake)
if(Pellacorn_CAPTURE_DEPS_FOUND AND EXISTS ${Pellacorn_CAPTURE_TARGETS}
   AND NOT TARGET Pellacorn::capture)
  include(${Pellacorn_CAPTURE_TARGETS})
endif()
# Where the browser host's sources, the headers and the music renderer
# were installed, for NAME-web.
include(${CMAKE_CURRENT_LIST_DIR}/PellacornWebPaths.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/PellacornScene.cmake)
