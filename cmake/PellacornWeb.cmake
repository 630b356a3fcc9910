# pellacorn_add_web_scene(NAME SOURCES... [FOLDER DIR])
#
# NAME-web: the scene as a web page, NAME.html with its .js, .wasm and .data
# in the build folder NAME-web/, built from the same sources with
# Emscripten and the kit's browser host (src/web/). The page's files are
# what the scene reads from its folder (DIR, by default the current source
# folder): Zarn_Icon.bmp and everything under data/, each tracker module
# rendered to Ogg beside it at build time by the desktop's own mixer
# (pellacorn-web-music), since a browser plays no module.
#
# Left out, with one line saying why, where Emscripten (em++) is not found
# or cannot build a page here, or where PELLACORN_WEB is off.
#
# Set before this file is included: PELLACORN_WEB_SOURCE_DIR (the folder
# holding the host's src/), PELLACORN_WEB_INCLUDE_DIR (the folder holding
# pellacorn/main.h) and PELLACORN_WEB_MUSIC (the renderer, as a target or
# a program; where neither is there, the page goes without its music).

option(PELLACORN_WEB "Make NAME-web, the scene as a web page, where Emscripten is found" ON)

# Emscripten's tools are node scripts that need node's Debian modules.
set(PELLACORN_EMXX_ENV ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
# What the browser does differently: the kit's calls stand in for these
# (src/web/web.h), each linked with --wrap so the real one stays reachable.
set(PELLACORN_WEB_WRAPS SDL_SetVideoMode SDL_GetVideoSurface SDL_UpperBlit SDL_FillRect
    SDL_UpdateRects SDL_UpdateRect SDL_SetColorKey SDL_FreeSurface SDL_LockSurface
    SDL_UnlockSurface SDL_GL_SwapBuffers SDL_GetKeyState SDL_WM_ToggleFullScreen Mix_LoadMUS
    Mix_PlayMusic SDL_GetError glShadeModel glHint alarm)
set(PELLACORN_WEB_LINK -sUSE_SDL=1 -sLEGACY_GL_EMULATION=1 -sSTB_IMAGE=1 -sEXIT_RUNTIME=1 -sMINIFY_HTML=0
    -sALLOW_MEMORY_GROWTH=1 -sEXPORTED_RUNTIME_METHODS=FS)
foreach(wrapped ${PELLACORN_WEB_WRAPS})
  list(APPEND PELLACORN_WEB_LINK -Wl,--wrap=${wrapped})
endforeach()
# Emscripten's own SDL 1.2 (asked for by name in later Emscriptens), with
# the kit's <SDL.h> read first, whatever the include path's order: SDL
# 1.2's key codes and its blit flag.
set(PELLACORN_WEB_COMPILE -O2 -std=c++17 -Wall -Wextra -sUSE_SDL=1
    -include ${PELLACORN_WEB_SOURCE_DIR}/src/web/include/SDL.h -I${PELLACORN_WEB_INCLUDE_DIR})
# The host: the shell's steps every host shares, and the browser's own.
set(PELLACORN_WEB_HOST src/error.cpp src/shell/start.cpp src/shell/window.cpp
    src/shell/services.cpp src/shell/events.cpp src/web/main.cpp src/web/layer.cpp
    src/web/keys.cpp src/web/page.cpp src/web/calls.cpp src/web/icon.cpp src/web/crash.cpp)

# Whether a page can be built here: Emscripten found, and a small page with
# SDL, GL, SDL_mixer and SDL_image linked offline. Asked once per build tree
# until the answer is yes.
function(pellacorn_check_web)
  get_property(asked GLOBAL PROPERTY PELLACORN_WEB_ASKED)
  if(asked)
    return()
  endif()
  set_property(GLOBAL PROPERTY PELLACORN_WEB_ASKED TRUE)
  find_program(PELLACORN_EMXX em++)
  find_program(PELLACORN_EMNM emnm)
  # Some releases' emnm, started through a link, looks for its script beside
  # the link; started by its own path, it finds it.
  if(PELLACORN_EMNM)
    execute_process(COMMAND ${PELLACORN_EMNM} --version RESULT_VARIABLE broken
                    OUTPUT_QUIET ERROR_QUIET)
    if(broken)
      get_filename_component(real ${PELLACORN_EMNM} REALPATH)
      set(PELLACORN_EMNM ${real} CACHE FILEPATH "Emscripten's nm" FORCE)
    endif()
  endif()
  if(DEFINED PELLACORN_WEB_MISSING AND PELLACORN_WEB_MISSING STREQUAL "")
    return()
  endif()
  set(missing "")
  if(NOT PELLACORN_EMXX OR NOT PELLACORN_EMNM)
    set(missing "Emscripten (em++) is not found")
  else()
    set(dir ${CMAKE_BINARY_DIR}/CMakeFiles/pellacorn-web-check)
    file(WRITE ${dir}/check.cpp "#include <SDL.h>\n#include <SDL_image.h>\n#include <SDL_mixer.h>
#include <GL/gl.h>\nint main() { SDL_SetVideoMode(64, 64, 32, SDL_OPENGL); glBegin(GL_TRIANGLES);
glEnd(); Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 512); return IMG_Load(\"x\") != 0; }\n")
    execute_process(COMMAND ${PELLACORN_EMXX_ENV} ${PELLACORN_EMXX} ${dir}/check.cpp -o
                            ${dir}/check.html -sUSE_SDL=1 -sLEGACY_GL_EMULATION=1 -sSTB_IMAGE=1
                    RESULT_VARIABLE failed OUTPUT_VARIABLE said ERROR_VARIABLE said)
    if(failed)
      string(REGEX MATCH "[^\n]*error[^\n]*" first "${said}")
      set(missing "Emscripten cannot build a page here: ${first}")
    endif()
  endif()
  set(PELLACORN_WEB_MISSING "${missing}" CACHE INTERNAL "Why NAME-web is left out")
endfunction()

# One em++ compile of SOURCE into OBJECT, with its header dependencies.
function(pellacorn_web_compile SOURCE OBJECT)
  get_filename_component(folder ${OBJECT} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  add_custom_command(OUTPUT ${OBJECT}
    COMMAND ${PELLACORN_EMXX_ENV} ${PELLACORN_EMXX} ${PELLACORN_WEB_COMPILE} ${ARGN}
            -MD -MF ${OBJECT}.d -c ${SOURCE} -o ${OBJECT}
    DEPENDS ${SOURCE} DEPFILE ${OBJECT}.d
    COMMENT "Compiling ${SOURCE} for the browser" VERBATIM)
endfunction()

# The host's objects, compiled once per build tree (target pellacorn_web_host).
function(pellacorn_web_host OBJECTS)
  set(dir ${CMAKE_BINARY_DIR}/pellacorn-web-host)
  set(objects "")
  foreach(source ${PELLACORN_WEB_HOST})
    string(REPLACE "/" "_" name ${source})
    list(APPEND objects ${dir}/${name}.o)
  endforeach()
  if(NOT TARGET pellacorn_web_host)
    foreach(source ${PELLACORN_WEB_HOST})
      string(REPLACE "/" "_" name ${source})
      pellacorn_web_compile(${PELLACORN_WEB_SOURCE_DIR}/${source} ${dir}/${name}.o
                            -I${PELLACORN_WEB_SOURCE_DIR}/src)
    endforeach()
    add_custom_target(pellacorn_web_host DEPENDS ${objects})
  endif()
  set(${OBJECTS} ${objects} PARENT_SCOPE)
endfunction()

function(pellacorn_add_web_scene NAME)
  cmake_parse_arguments(W "" "FOLDER" "" ${ARGN})
  if(NOT PELLACORN_WEB)
    return()
  endif()
  pellacorn_check_web()
  if(NOT PELLACORN_WEB_MISSING STREQUAL "")
    message(STATUS "${NAME}-web is left out: ${PELLACORN_WEB_MISSING}")
    return()
  endif()
  set(folder ${CMAKE_CURRENT_SOURCE_DIR})
  if(W_FOLDER)
    set(folder ${W_FOLDER})
  endif()
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${NAME}-web)
  set(files ${CMAKE_CURRENT_BINARY_DIR}/${NAME}-web-files)

  pellacorn_web_host(host)
  set(objects "")
  foreach(source ${W_UNPARSED_ARGUMENTS})
    get_filename_component(path ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    if(path MATCHES "\\.(c|cc|cpp|cxx)$")
      get_filename_component(name ${path} NAME)
      pellacorn_web_compile(${path} ${out}-objects/${name}.o)
      list(APPEND objects ${out}-objects/${name}.o)
    endif()
  endforeach()

  # What the page reads, as the scene reads it from its working folder.
  set(staged "")
  file(GLOB_RECURSE data RELATIVE ${folder} CONFIGURE_DEPENDS ${folder}/data/*)
  if(EXISTS ${folder}/Zarn_Icon.bmp)
    list(APPEND data Zarn_Icon.bmp)
  endif()
  foreach(file ${data})
    if(file MATCHES "\\.(mod|xm|s3m|it)$")
      if(NOT (TARGET "${PELLACORN_WEB_MUSIC}" OR EXISTS "${PELLACORN_WEB_MUSIC}"))
        message(STATUS "${NAME}-web plays no ${file}: the kit's music renderer was not built")
        continue()
      endif()
      string(REGEX REPLACE "\\.[^.]+$" ".ogg" ogg ${file})
      add_custom_command(OUTPUT ${files}/${ogg}
        COMMAND ${PELLACORN_WEB_MUSIC} ${folder}/${file} ${files}/${ogg}
        DEPENDS ${folder}/${file} ${PELLACORN_WEB_MUSIC}
        COMMENT "Rendering ${file} for the browser" VERBATIM)
      list(APPEND staged ${files}/${ogg})
    else()
      add_custom_command(OUTPUT ${files}/${file}
        COMMAND ${CMAKE_COMMAND} -E copy ${folder}/${file} ${files}/${file}
        DEPENDS ${folder}/${file} VERBATIM)
      list(APPEND staged ${files}/${file})
    endif()
  endforeach()
  if(staged STREQUAL "")
    file(MAKE_DIRECTORY ${files})
  endif()

  set(page ${PELLACORN_WEB_SOURCE_DIR}/src/web/page.html)
  string(JOIN "," listed ${objects})
  add_custom_command(OUTPUT ${out}/${NAME}.html ${out}/${NAME}.js ${out}/${NAME}.wasm
                            ${out}/${NAME}.data
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
    COMMAND ${CMAKE_COMMAND} -DNM=${PELLACORN_EMNM} -DOBJECTS=${listed}
            -P ${PELLACORN_WEB_SOURCE_DIR}/src/web/calls.cmake
    COMMAND ${PELLACORN_EMXX_ENV} ${PELLACORN_EMXX} -O2 ${objects} ${host}
            -o ${out}/${NAME}.html --shell-file ${page} --preload-file ${files}@/
            ${PELLACORN_WEB_LINK}
    DEPENDS ${objects} ${host} ${staged} ${page}
    COMMENT "Linking ${NAME}.html" VERBATIM)
  add_custom_target(${NAME}-web ALL DEPENDS ${out}/${NAME}.html)
  add_dependencies(${NAME}-web pellacorn_web_host)
endfunction()
