# The one version of VelkorRamp, taken from project(VERSION major.minor.patch.build):
# the module's version word, its About text, its registration resource, the
# tool's --version and the package names all come from it.
#
# The host packs the version into one 32-bit word with narrow fields, and About
# shows the minor and patch numbers as one digit each, so a version that either
# cannot hold is refused here rather than wrapped silently.
#
# Sets VELKOR_VERSION_TEXT (major.minor.patch), VELKOR_VERSION_BUILD and
# VELKOR_VERSION_WORD, and writes <build>/generated/host/project_version.h.

set(VELKOR_VERSION_STAGE 3)  # the host's release stage; 0 develop, 1 alpha, 2 beta

set(VELKOR_VERSION_BUILD "${PROJECT_VERSION_TWEAK}")
if(VELKOR_VERSION_BUILD STREQUAL "")
  message(FATAL_ERROR
    "project(VERSION ${PROJECT_VERSION}) needs four parts, major.minor.patch.build: "
    "the host's version word carries a build number")
endif()

function(velkor_check_version_part name value max why)
  if(value GREATER max)
    message(FATAL_ERROR "version ${PROJECT_VERSION}: the ${name} must be 0 to ${max} (${why}), got ${value}")
  endif()
endfunction()
velkor_check_version_part(major "${PROJECT_VERSION_MAJOR}" 127 "7 bits of the host's version word")
velkor_check_version_part(minor "${PROJECT_VERSION_MINOR}" 9 "About shows it as one digit")
velkor_check_version_part(patch "${PROJECT_VERSION_PATCH}" 9 "About shows it as one digit")
velkor_check_version_part(build "${VELKOR_VERSION_BUILD}" 511 "9 bits of the host's version word")

set(VELKOR_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")

# Packed here independently of host/effect_identity.h, which packs the same
# fields itself and must arrive at this word (a static_assert there).
math(EXPR VELKOR_VERSION_WORD
  "((${PROJECT_VERSION_MAJOR} >> 3) << 26) | ((${PROJECT_VERSION_MAJOR} & 7) << 19) \
   | (${PROJECT_VERSION_MINOR} << 15) | (${PROJECT_VERSION_PATCH} << 11) \
   | (${VELKOR_VERSION_STAGE} << 9) | ${VELKOR_VERSION_BUILD}" OUTPUT_FORMAT HEXADECIMAL)

configure_file("${PROJECT_SOURCE_DIR}/host/project_version.h.in"
  "${PROJECT_BINARY_DIR}/generated/host/project_version.h" @ONLY)
