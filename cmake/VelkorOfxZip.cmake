# Run by cpack after each package (CPACK_POST_BUILD_SCRIPTS): makes the OpenFX
# users' zip, <CPACK_VELKOR_OFX_ZIP_NAME>.zip, beside the other packages. It
# holds one folder of that name with the bundle in the standard's Windows
# layout, INSTALL.txt and LICENSE.
set(stage "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/ofx-zip")
set(top "${stage}/${CPACK_VELKOR_OFX_ZIP_NAME}")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${top}/VelkorRamp.ofx.bundle/Contents/Win64")
file(COPY "${CPACK_VELKOR_OFX_PLUGIN}" DESTINATION "${top}/VelkorRamp.ofx.bundle/Contents/Win64")
file(COPY "${CPACK_VELKOR_OFX_INSTALL_TXT}" "${CPACK_VELKOR_LICENSE}" DESTINATION "${top}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf "${CPACK_PACKAGE_DIRECTORY}/${CPACK_VELKOR_OFX_ZIP_NAME}.zip"
    --format=zip "${CPACK_VELKOR_OFX_ZIP_NAME}"
  WORKING_DIRECTORY "${stage}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot make ${CPACK_VELKOR_OFX_ZIP_NAME}.zip")
endif()
file(REMOVE_RECURSE "${stage}")
