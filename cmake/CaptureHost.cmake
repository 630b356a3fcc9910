# The capture host: the shell's start-up and hooks on a virtual clock, with
# FFmpeg's encoders, as the static library Pellacorn::capture that every
# NAME-capture program links (see pellacorn_add_scene). It holds its own
# copy of the shell's objects, the loop's object with main made local: the
# host has a loop of its own. Left out where FFmpeg's development files are
# missing.
pkg_check_modules(FFMPEG QUIET IMPORTED_TARGET libavformat libavcodec libswscale libswresample
                  libavutil)
if(NOT FFMPEG_FOUND)
  message(STATUS "The capture host is left out: FFmpeg's development files are missing")
  return()
endif()
set(SHELL_PARTS ${CMAKE_BINARY_DIR}/shell_parts.o)
add_custom_command(OUTPUT ${SHELL_PARTS}
  COMMAND ${CMAKE_OBJCOPY} --localize-symbol=main $<TARGET_OBJECTS:shell> ${SHELL_PARTS}
  DEPENDS shell $<TARGET_OBJECTS:shell>
  COMMENT "The shell's object with main made local, for the capture host")
add_library(pellacorn_capture STATIC src/capture.cpp src/capture_audio.cpp src/capture_clock.cpp
            src/capture_display.cpp src/capture_encoder.cpp src/capture_file.cpp
            src/capture_options.cpp src/capture_worker.cpp ${SHELL_PARTS} $<TARGET_OBJECTS:icon>
            $<TARGET_OBJECTS:layer> $<TARGET_OBJECTS:error>)
set_target_properties(pellacorn_capture PROPERTIES OUTPUT_NAME pellacorn-capture
                      EXPORT_NAME capture)
# What a scene compiles and links against (Pellacorn::scene: the headers,
# SDL, GL, the layer's wraps), FFmpeg, and the names the host defines in
# SDL's place, exported so that SDL_mixer's calls bind to them as the
# scene's do.
target_link_libraries(pellacorn_capture PUBLIC pellacorn_scene
  $<BUILD_INTERFACE:PkgConfig::FFMPEG> $<INSTALL_INTERFACE:PkgConfig::Pellacorn_CAPTURE_DEPS>)
set(CAPTURE_EXPORTS SDL_GetTicks SDL_OpenAudio SDL_PauseAudio SDL_GetAudioStatus SDL_LockAudio
    SDL_UnlockAudio SDL_CloseAudio SDL_MixAudio)
list(TRANSFORM CAPTURE_EXPORTS PREPEND -Wl,--export-dynamic-symbol=)
target_link_options(pellacorn_capture INTERFACE ${CAPTURE_EXPORTS})
add_library(Pellacorn::capture ALIAS pellacorn_capture)
