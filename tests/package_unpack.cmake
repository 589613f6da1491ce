# cmake -DCPACK=<cpack> -DBUILD_DIR=<build> -DUNPACK_DIR=<folder> -P package_unpack.cmake
#
# Makes this build's packages with cpack, as a user would, then unpacks each
# into a fresh folder of UNPACK_DIR named after its kind (zip, ofx-zip, tarball,
# deb), for the package tests to inspect and run.

file(REMOVE_RECURSE ${UNPACK_DIR} ${BUILD_DIR}/packages)
execute_process(COMMAND ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake
  WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${output}")
endif()

file(GLOB packages ${BUILD_DIR}/packages/*.zip ${BUILD_DIR}/packages/*.tar.gz ${BUILD_DIR}/packages/*.deb)
foreach(package IN LISTS packages)
  if(package MATCHES "-ofx-win64\\.zip$")
    set(kind ofx-zip)
  elseif(package MATCHES "\\.zip$")
    set(kind zip)
  elseif(package MATCHES "\\.tar\\.gz$")
    set(kind tarball)
  else()
    set(kind deb)
  endif()
  file(MAKE_DIRECTORY ${UNPACK_DIR}/${kind})
  if(kind STREQUAL "deb")
    set(command dpkg-deb -x ${package} .)
  else()
    set(command ${CMAKE_COMMAND} -E tar xf ${package})
  endif()
  execute_process(COMMAND ${command} WORKING_DIRECTORY ${UNPACK_DIR}/${kind}
    RESULT_VARIABLE result ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot unpack ${package}: ${errors}")
  endif()
  file(SIZE ${package} size)
  get_filename_component(name ${package} NAME)
  message(STATUS "${name}: ${size} bytes")
endforeach()
