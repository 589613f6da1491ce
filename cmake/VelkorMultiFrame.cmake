# The multi-frame build (VELKOR_MULTI_FRAME) made a second time beside this
# build: the module's own sources compiled with the option on, linked to the
# same engine, under the name VelkorRamp in <build>/multi-frame/, with its own
# registration property list. The tests compare it with the default module;
# in the Windows cross build it is the .aex of the multi-frame zip.
#
# A native build writes the property list (VELKOR_MULTI_FRAME_PIPL); a cross
# build is handed it in VELKOR_MULTI_FRAME_PIPL_FILE and embeds it. Sets
# VELKOR_MULTI_FRAME_PIPL where the module is built. A build whose default is
# already multi-frame, or a ThreadSanitizer build (whose tests never load it),
# makes none.

set(VELKOR_MULTI_FRAME_PIPL_FILE "" CACHE FILEPATH
  "The multi-frame build's property list, written by a native build; a cross build needs it for the multi-frame module")

if(VELKOR_MULTI_FRAME OR VELKOR_SANITIZE STREQUAL "thread")
  return()
endif()
if(CMAKE_CROSSCOMPILING AND NOT VELKOR_MULTI_FRAME_PIPL_FILE)
  return()
endif()

set(multi_frame_dir ${PROJECT_BINARY_DIR}/multi-frame)
if(CMAKE_CROSSCOMPILING)
  set(VELKOR_MULTI_FRAME_PIPL ${VELKOR_MULTI_FRAME_PIPL_FILE})
else()
  add_executable(velkor_multi_frame_pipl_generator
    ${PROJECT_SOURCE_DIR}/resources/pipl_generator.cpp
    ${PROJECT_SOURCE_DIR}/resources/pipl_writer.cpp)
  target_link_libraries(velkor_multi_frame_pipl_generator PRIVATE velkor_host_interface velkor_warnings)
  target_compile_definitions(velkor_multi_frame_pipl_generator PRIVATE VELKOR_MULTI_FRAME=1)
  set(VELKOR_MULTI_FRAME_PIPL ${multi_frame_dir}/VelkorRamp.pipl)
  add_custom_command(OUTPUT ${VELKOR_MULTI_FRAME_PIPL}
    COMMAND velkor_multi_frame_pipl_generator ${VELKOR_MULTI_FRAME_PIPL}
    COMMAND ${CMAKE_COMMAND} -DPIPL_FILE=${VELKOR_MULTI_FRAME_PIPL} -DVERSION_WORD=${VELKOR_VERSION_WORD}
      -DMULTI_FRAME=1 -DSTAMP=${VELKOR_MULTI_FRAME_PIPL}.checked
      -P ${PROJECT_SOURCE_DIR}/resources/check_property_list.cmake
    DEPENDS velkor_multi_frame_pipl_generator ${PROJECT_SOURCE_DIR}/resources/check_property_list.cmake
    COMMENT "Writing the multi-frame build's registration property list")
  add_custom_target(velkor_multi_frame_pipl ALL DEPENDS ${VELKOR_MULTI_FRAME_PIPL})
endif()

# The default module's sources, less its resource script (Windows), which
# embeds the default list.
get_target_property(module_sources VelkorRamp SOURCES)
get_target_property(module_link_options VelkorRamp LINK_OPTIONS)
set(multi_frame_sources "")
foreach(source IN LISTS module_sources)
  if(source MATCHES "\\.rc$")
    continue()
  endif()
  cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
  list(APPEND multi_frame_sources ${source})
endforeach()
add_library(velkor_multi_frame_module MODULE ${multi_frame_sources})
target_link_libraries(velkor_multi_frame_module PRIVATE velkor_engine velkor_warnings)
target_compile_definitions(velkor_multi_frame_module PRIVATE VELKOR_MULTI_FRAME=1)
if(module_link_options)
  target_link_options(velkor_multi_frame_module PRIVATE ${module_link_options})
endif()
set_target_properties(velkor_multi_frame_module PROPERTIES PREFIX "" OUTPUT_NAME VelkorRamp
  LIBRARY_OUTPUT_DIRECTORY ${multi_frame_dir})
if(WIN32)
  set(VELKOR_PIPL_RC_PATH "${VELKOR_MULTI_FRAME_PIPL}")
  set(VELKOR_MANIFEST_RC_PATH "${PROJECT_SOURCE_DIR}/resources/VelkorRamp.manifest")
  set(rc_file "${multi_frame_dir}/VelkorRamp.rc")
  configure_file(${PROJECT_SOURCE_DIR}/resources/VelkorRamp.rc.in "${rc_file}" @ONLY)
  set_source_files_properties("${rc_file}" PROPERTIES
    OBJECT_DEPENDS "${VELKOR_MULTI_FRAME_PIPL};${VELKOR_MANIFEST_RC_PATH}")
  target_sources(velkor_multi_frame_module PRIVATE "${rc_file}")
  set_target_properties(velkor_multi_frame_module PROPERTIES SUFFIX ".aex")
else()
  set_target_properties(velkor_multi_frame_module PROPERTIES
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/host/exports.map)
endif()
