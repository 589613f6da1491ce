# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE): which installed
# components each package holds, and its file name. Everything is installed
# into the package as one tree, without component folders.

set(project_entry "${CPACK_VELKOR_BUILD_DIR};VelkorRamp")
if(CPACK_GENERATOR STREQUAL "ZIP")
  # One zip per component, each named by CPACK_ARCHIVE_<COMPONENT>_FILE_NAME;
  # each component's files already lie in a folder named like its zip.
  set(CPACK_INSTALL_CMAKE_PROJECTS "${project_entry};ALL;/")
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL ${CPACK_VELKOR_ZIP_COMPONENTS})
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_VELKOR_HOST_ZIP_NAME}")
else()
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${project_entry};tool;/;${project_entry};docs;/;${project_entry};ofx;/")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_VELKOR_TARBALL_NAME}")
endif()
