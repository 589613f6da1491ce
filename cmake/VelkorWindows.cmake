# Cross-builds VelkorRamp.aex and the Windows host check from these same sources
# with mingw-w64, as a build of its own under <build>/windows, handing it the
# property list that this build's velkor_pipl_generator wrote. The tests then run
# the Windows host check under Wine (tests/CMakeLists.txt). With
# VELKOR_WINDOWS_HOST_SDK_DIR the cross build compiles against the official host
# SDK headers while this build keeps our own declarations.
#
# Sets VELKOR_WINDOWS_MODULE, VELKOR_WINDOWS_HOSTCHECK, VELKOR_WINDOWS_MATH_PROBE,
# VELKOR_WINDOWS_OFX_BUNDLE, VELKOR_WINDOWS_OFXCHECK, VELKOR_WINE and
# VELKOR_WINESERVER for the tests, and VELKOR_WINDOWS_MULTI_FRAME_MODULE
# where the multi-frame build is made (cmake/VelkorMultiFrame.cmake).

include(ExternalProject)

set(VELKOR_WINDOWS_JOBS 2 CACHE STRING "Parallel jobs of the cross build")

find_program(VELKOR_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(VELKOR_MINGW_WINDRES x86_64-w64-mingw32-windres)
# Debian's wine64 package keeps its loader out of PATH.
find_program(VELKOR_WINE NAMES wine64 wine HINTS /usr/lib/wine)
get_filename_component(wine_dir "${VELKOR_WINE}" DIRECTORY)
find_program(VELKOR_WINESERVER NAMES wineserver64 wineserver HINTS "${wine_dir}" /usr/lib/wine)
foreach(tool VELKOR_MINGW_CXX VELKOR_MINGW_WINDRES VELKOR_WINE VELKOR_WINESERVER)
  if(NOT ${tool})
    message(FATAL_ERROR
      "VELKOR_WINDOWS=ON needs mingw-w64 and Wine, and ${tool} was not found. "
      "Install them with scripts/setup.sh (packages g++-mingw-w64-x86-64-posix, "
      "binutils-mingw-w64-x86-64, wine64), or configure with -DVELKOR_WINDOWS=OFF.")
  endif()
endforeach()

set(windows_dir "${CMAKE_BINARY_DIR}/windows")
set(VELKOR_WINDOWS_MODULE "${windows_dir}/VelkorRamp.aex")
set(VELKOR_WINDOWS_HOSTCHECK "${windows_dir}/hostcheck/velkor_hostcheck.exe")
set(VELKOR_WINDOWS_MATH_PROBE "${windows_dir}/hostcheck/velkor_math_probe.exe")
# The OpenFX plug-in in its bundle (Contents/Win64) and the OpenFX test host's
# frame writer.
set(VELKOR_WINDOWS_OFX_BUNDLE "${windows_dir}/ofx/VelkorRamp.ofx.bundle")
set(VELKOR_WINDOWS_OFX_PLUGIN "${VELKOR_WINDOWS_OFX_BUNDLE}/Contents/Win64/VelkorRamp.ofx")
set(VELKOR_WINDOWS_OFXCHECK "${windows_dir}/ofxhost/velkor_ofxcheck.exe")
set(windows_targets VelkorRamp velkor_hostcheck velkor_math_probe velkor_ofx_plugin velkor_ofxcheck)
# The multi-frame build's .aex, embedding the list this build wrote for it.
set(multi_frame_args "")
set(multi_frame_depends "")
if(TARGET velkor_multi_frame_pipl)
  set(VELKOR_WINDOWS_MULTI_FRAME_MODULE "${windows_dir}/multi-frame/VelkorRamp.aex")
  list(APPEND windows_targets velkor_multi_frame_module)
  set(multi_frame_args -DVELKOR_MULTI_FRAME_PIPL_FILE=${VELKOR_MULTI_FRAME_PIPL})
  set(multi_frame_depends velkor_multi_frame_pipl)
endif()

# Make shares its job server with the cross build (and, unlike Ninja, must be
# told to regenerate before it knows a newly added target); other generators
# get a limit.
if(CMAKE_GENERATOR MATCHES "Make")
  set(windows_build $(MAKE) cmake_check_build_system COMMAND $(MAKE) ${windows_targets})
else()
  set(windows_build ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel ${VELKOR_WINDOWS_JOBS}
    --target ${windows_targets})
endif()

ExternalProject_Add(velkor_windows
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${windows_dir}"
  PREFIX "${CMAKE_BINARY_DIR}/windows-steps"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DVELKOR_PIPL_FILE=${VELKOR_PIPL_OUTPUT}
    ${multi_frame_args}
    -DVELKOR_MULTI_FRAME=${VELKOR_MULTI_FRAME}
    -DVELKOR_HOST_SDK_DIR=${VELKOR_WINDOWS_HOST_SDK_DIR}
    -DVELKOR_BUILD_TOOLS=ON
    -DVELKOR_BUILD_TESTS=OFF
    -DVELKOR_BUILD_BENCH=OFF
    -DVELKOR_WINDOWS=OFF
  BUILD_COMMAND ${windows_build}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${VELKOR_WINDOWS_MODULE}" "${VELKOR_WINDOWS_HOSTCHECK}" "${VELKOR_WINDOWS_MATH_PROBE}"
    "${VELKOR_WINDOWS_OFX_PLUGIN}" "${VELKOR_WINDOWS_OFXCHECK}"
    ${VELKOR_WINDOWS_MULTI_FRAME_MODULE}
  INSTALL_COMMAND ""
  DEPENDS velkor_pipl ${multi_frame_depends})
