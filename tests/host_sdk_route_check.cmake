# cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch> -DGENERATOR=<generator>
#       [-DTOOLCHAIN=<mingw-w64 toolchain file> -DPIPL_FILE=<property list>]
#       -P host_sdk_route_check.cmake
#
# The official-SDK route as configured from here, without the SDK itself: a
# Linux target is refused at once with a message naming the supported targets
# and the way to build the Windows module instead; with TOOLCHAIN, a Windows
# target given a folder shaped like the SDK's configures and compiles the module
# with the SDK's folders and _WINDOWS. Leaves nothing in WORK_DIR.

function(configure out_result out_log)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -G ${GENERATOR} ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  string(REGEX REPLACE "[ \t\r\n]+" " " flat "${output} ${errors}")
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_log} "${flat}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(sdk ${WORK_DIR}/sdk)
file(WRITE ${sdk}/Headers/AE_Effect.h "#error not the real header\n")
set(failures "")

configure(result log -B ${WORK_DIR}/linux -DVELKOR_HOST_SDK_DIR=${sdk})
if(result EQUAL 0)
  list(APPEND failures "a Linux target with VELKOR_HOST_SDK_DIR configured")
elseif(NOT log MATCHES "support Windows and macOS targets only, not Linux"
       OR NOT log MATCHES "VELKOR_WINDOWS_HOST_SDK_DIR")
  list(APPEND failures "a Linux target was refused without the expected message: ${log}")
endif()

if(TOOLCHAIN)
  configure(result log -B ${WORK_DIR}/windows -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=Release -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_TOOLS=OFF
    -DVELKOR_PIPL_FILE=${PIPL_FILE} -DVELKOR_HOST_SDK_DIR=${WORK_DIR}/nowhere)
  if(result EQUAL 0 OR NOT log MATCHES "holds no Headers/AE_Effect.h")
    list(APPEND failures "a folder without the SDK's headers was not refused: ${log}")
  endif()

  configure(result log -B ${WORK_DIR}/windows -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=Release -DVELKOR_BUILD_TESTS=OFF -DVELKOR_BUILD_TOOLS=OFF
    -DVELKOR_PIPL_FILE=${PIPL_FILE} -DVELKOR_HOST_SDK_DIR=${sdk})
  if(NOT result EQUAL 0)
    list(APPEND failures "a Windows target with an SDK folder did not configure: ${log}")
  else()
    file(READ ${WORK_DIR}/windows/compile_commands.json commands)
    string(REGEX MATCH "[^\n]*host/entry\\.cpp[^\n]*-o[^\n]*|[^\n]*-o[^\n]*host/entry\\.cpp[^\n]*" entry "${commands}")
    foreach(want "-D_WINDOWS" "-DVELKOR_USE_HOST_SDK=1" "${sdk}/Headers/SP" "${sdk}/Util")
      string(FIND "${entry}" "${want}" at)
      if(at EQUAL -1)
        list(APPEND failures "the module's compile line lacks ${want}: ${entry}")
      endif()
    endforeach()
  endif()
endif()

file(REMOVE_RECURSE ${WORK_DIR})
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
