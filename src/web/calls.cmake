# Run before a NAME-web is linked: names each call in the scene's objects
# that links in a browser but does nothing there, so that a blank or still
# picture is explained in the build. A call the browser has not at all
# fails the link itself, naming it.
# Usage: cmake -DNM=emnm -DOBJECTS=a.o,b.o -P calls.cmake
set(DOES_NOTHING glPolygonMode glDrawBuffer glReadBuffer glTexGeni glTexGenf glTexGenfv glTexGeniv
    glTexImage1D SDL_WM_GrabInput SDL_WM_IconifyWindow SDL_SaveBMP_RW Mix_SetPostMix
    Mix_SetPosition SDL_CreateMutex SDL_DestroyMutex SDL_mutexP SDL_mutexV SDL_LockMutex
    SDL_UnlockMutex SDL_CreateCond SDL_DestroyCond SDL_CondWait SDL_CondWaitTimeout
    SDL_CondSignal SDL_CondBroadcast)
string(REPLACE "," ";" objects "${OBJECTS}")
foreach(object ${objects})
  execute_process(COMMAND ${NM} -u ${object} OUTPUT_VARIABLE undefined)
  get_filename_component(source ${object} NAME)
  string(REGEX REPLACE "\\.o$" "" source ${source})
  foreach(call ${DOES_NOTHING})
    if(undefined MATCHES "U ${call}\n")
      message("${source} calls ${call}, which does nothing in a browser")
    endif()
  endforeach()
endforeach()
