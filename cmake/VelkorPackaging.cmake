# What `cmake --install` puts where, and the packages CPack makes from it.
#
# Installed tree (relocatable: the tool finds its module relative to itself):
#   bin/velkorramp, lib/velkorramp/VelkorRamp.so
#                                               component "tool"
#   share/doc/velkorramp/                       component "docs": README.md,
#     CHANGELOG.md, LICENSE, cli/README.md and docs/gallery/, laid out as in the
#     source tree so the READMEs' links hold
#   share/velkorramp/windows/VelkorRamp.aex, INSTALL.txt, and the multi-frame
#     build's in share/velkorramp/windows-multi-frame/
#                                               component "windows", when built
#   lib/OFX/Plugins/VelkorRamp.ofx.bundle/Contents/Linux-x86-64/VelkorRamp.ofx
#                                               component "ofx": the OpenFX
#     plug-in in the standard's bundle layout, found through OFX_PLUGIN_PATH
#
# Packages, into <build>/packages (`cpack` in the build folder, or
# `cpack --preset release`):
#   VelkorRamp-<version>-win64.zip              for the host's users, when the
#     Windows module is built: VelkorRamp.aex, INSTALL.txt, LICENSE and a few
#     gallery pictures (component "host-zip", never part of a plain install)
#   VelkorRamp-<version>-win64-multi-frame.zip  the same with the multi-frame
#     build's VelkorRamp.aex (component "host-zip-multi-frame")
#   velkorramp-<version>-linux-<arch>.tar.gz    for pipelines: "tool" and "docs"
#   velkorramp_<version>-1_<arch>.deb           the same under /usr, where
#     Debian's packaging tools are installed
#   Both Linux packages also hold "ofx".
#   VelkorRamp-<version>-ofx-win64.zip          for OpenFX hosts' users, when the
#     Windows build is made: the bundle with Contents/Win64/VelkorRamp.ofx,
#     INSTALL.txt and LICENSE (cmake/VelkorOfxZip.cmake)

include(GNUInstallDirs)

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/velkorramp)
set(gallery ${PROJECT_SOURCE_DIR}/docs/gallery)

if(TARGET velkorramp)
  install(TARGETS velkorramp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
  install(TARGETS VelkorRamp LIBRARY DESTINATION ${VELKOR_INSTALL_MODULE_DIR} COMPONENT tool)
endif()

install(FILES README.md CHANGELOG.md LICENSE DESTINATION ${doc_dir} COMPONENT docs)
install(FILES cli/README.md DESTINATION ${doc_dir}/cli COMPONENT docs)
install(DIRECTORY docs/gallery DESTINATION ${doc_dir}/docs COMPONENT docs)

# The host users' zips, one per build of the .aex (VELKOR_ZIP_COMPONENTS), and
# what INSTALL.txt calls each.
set(VELKOR_HOST_ZIP_NAME VelkorRamp-${VELKOR_VERSION_TEXT}-win64)
set(VELKOR_MULTI_FRAME_ZIP_NAME VelkorRamp-${VELKOR_VERSION_TEXT}-win64-multi-frame)
set(VELKOR_DEFAULT_BUILD_TEXT "default (single-frame)")
set(VELKOR_MULTI_FRAME_BUILD_TEXT "multi-frame")
set(VELKOR_ZIP_COMPONENTS "")

if(DEFINED VELKOR_WINDOWS_MODULE)
  set(install_txt ${PROJECT_BINARY_DIR}/INSTALL.txt)
  set(VELKOR_INSTALL_BUILD ${VELKOR_DEFAULT_BUILD_TEXT})
  configure_file(docs/INSTALL.txt.in ${install_txt} @ONLY)
  install(FILES ${VELKOR_WINDOWS_MODULE} ${install_txt}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/velkorramp/windows COMPONENT windows)

  # The pictures INSTALL.txt points to: each shape and Type over a layer.
  # Each zip's files lie in one top folder named like the zip.
  set(VELKOR_HOST_ZIP_PICTURES linear-points.png linear2-center.png radial-center.png type-color-alpha.png)
  list(TRANSFORM VELKOR_HOST_ZIP_PICTURES PREPEND ${gallery}/ OUTPUT_VARIABLE pictures)
  install(FILES ${VELKOR_WINDOWS_MODULE} ${install_txt} LICENSE
    DESTINATION ${VELKOR_HOST_ZIP_NAME} COMPONENT host-zip EXCLUDE_FROM_ALL)
  install(FILES ${pictures} DESTINATION ${VELKOR_HOST_ZIP_NAME}/gallery COMPONENT host-zip EXCLUDE_FROM_ALL)
  list(APPEND VELKOR_ZIP_COMPONENTS host-zip)
  set(CPACK_ARCHIVE_HOST-ZIP_FILE_NAME ${VELKOR_HOST_ZIP_NAME})
endif()

# The multi-frame zip: the same files, the .aex of the multi-frame build
# (cmake/VelkorMultiFrame.cmake), for host versions that render several frames
# at once; its INSTALL.txt and the default's say which to choose.
if(DEFINED VELKOR_WINDOWS_MODULE AND DEFINED VELKOR_WINDOWS_MULTI_FRAME_MODULE)
  set(multi_frame_install_txt ${PROJECT_BINARY_DIR}/multi-frame/INSTALL.txt)
  set(VELKOR_INSTALL_BUILD ${VELKOR_MULTI_FRAME_BUILD_TEXT})
  configure_file(docs/INSTALL.txt.in ${multi_frame_install_txt} @ONLY)
  install(FILES ${VELKOR_WINDOWS_MULTI_FRAME_MODULE} ${multi_frame_install_txt}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/velkorramp/windows-multi-frame COMPONENT windows)
  install(FILES ${VELKOR_WINDOWS_MULTI_FRAME_MODULE} ${multi_frame_install_txt} LICENSE
    DESTINATION ${VELKOR_MULTI_FRAME_ZIP_NAME} COMPONENT host-zip-multi-frame EXCLUDE_FROM_ALL)
  install(FILES ${pictures} DESTINATION ${VELKOR_MULTI_FRAME_ZIP_NAME}/gallery
    COMPONENT host-zip-multi-frame EXCLUDE_FROM_ALL)
  list(APPEND VELKOR_ZIP_COMPONENTS host-zip-multi-frame)
  set(CPACK_ARCHIVE_HOST-ZIP-MULTI-FRAME_FILE_NAME ${VELKOR_MULTI_FRAME_ZIP_NAME})
endif()

# The OpenFX plug-in's bundle, in the standard's layout.
set(VELKOR_INSTALL_OFX_BUNDLE lib/OFX/Plugins/VelkorRamp.ofx.bundle)
install(TARGETS velkor_ofx_plugin
  LIBRARY DESTINATION ${VELKOR_INSTALL_OFX_BUNDLE}/Contents/${VELKOR_OFX_ARCH} COMPONENT ofx)
if(DEFINED VELKOR_WINDOWS_OFX_PLUGIN)
  set(CPACK_VELKOR_OFX_ZIP_NAME VelkorRamp-${VELKOR_VERSION_TEXT}-ofx-win64)
  set(CPACK_VELKOR_OFX_PLUGIN ${VELKOR_WINDOWS_OFX_PLUGIN})
  set(CPACK_VELKOR_OFX_INSTALL_TXT ${PROJECT_BINARY_DIR}/ofx-zip/INSTALL.txt)
  set(CPACK_VELKOR_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  configure_file(docs/INSTALL-ofx.txt.in ${CPACK_VELKOR_OFX_INSTALL_TXT} @ONLY)
  list(APPEND CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/VelkorOfxZip.cmake)
endif()

# CPack: one configuration, and per generator the components it packs
# (cmake/VelkorPackageContents.cmake, read by cpack for each generator).
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" platform)
set(CPACK_PACKAGE_NAME velkorramp)
set(CPACK_PACKAGE_VENDOR "The VelkorRamp team")
set(CPACK_PACKAGE_VERSION ${VELKOR_VERSION_TEXT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Colour and alpha ramp effect, and a command-line renderer for it")
set(CPACK_PACKAGE_DESCRIPTION
  "velkorramp renders the VelkorRamp ramp effect to image files without the host application: the \
effect module is loaded into a simulated host and driven as the host drives it.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_VELKOR_HOST_ZIP_NAME ${VELKOR_HOST_ZIP_NAME})
set(CPACK_VELKOR_ZIP_COMPONENTS ${VELKOR_ZIP_COMPONENTS})
set(CPACK_VELKOR_TARBALL_NAME velkorramp-${VELKOR_VERSION_TEXT}-${platform})
set(CPACK_VELKOR_BUILD_DIR ${PROJECT_BINARY_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/VelkorPackageContents.cmake)

set(CPACK_GENERATOR TGZ)
if(DEFINED VELKOR_WINDOWS_MODULE)
  list(PREPEND CPACK_GENERATOR ZIP)
endif()
find_program(VELKOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(VELKOR_FILE_COMMAND file)
if(VELKOR_DPKG_SHLIBDEPS AND VELKOR_FILE_COMMAND AND NOT VELKOR_SANITIZE)
  list(APPEND CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The VelkorRamp team <velkorramp@localhost>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX_DEB /usr)

# CPack leaves CPACK_GENERATOR holding the source package's list.
set(VELKOR_PACKAGE_GENERATORS ${CPACK_GENERATOR})
include(CPack)
