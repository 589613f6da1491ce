# cmake -DPIPL_FILE=<list> -DVERSION_WORD=<0x...> -DMULTI_FRAME=<0|1> -DSTAMP=<file>
#       -P check_property_list.cmake
#
# The build's check that the property list it embeds says what this build's
# code reports: the version word CMake packed from project(VERSION), and the
# multi-frame flag with the effect spec version that goes with it. A cross build
# is handed its list by another build, so a list from another version or
# another configuration would otherwise be embedded without a word. Walks the
# list with the host's padding rule; touches STAMP when it agrees.

foreach(var PIPL_FILE VERSION_WORD MULTI_FRAME STAMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_property_list.cmake needs -D${var}=...")
  endif()
endforeach()

file(READ "${PIPL_FILE}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")

# The little-endian 32-bit number at byte `at`.
function(le32 out at)
  if(at GREATER size OR at EQUAL size)
    message(FATAL_ERROR "${PIPL_FILE}: ends inside the property list (offset ${at})")
  endif()
  math(EXPR begin "${at} * 2")
  string(SUBSTRING "${hex}" ${begin} 8 bytes)
  string(LENGTH "${bytes}" got)
  if(NOT got EQUAL 8)
    message(FATAL_ERROR "${PIPL_FILE}: ends inside the property list (offset ${at})")
  endif()
  string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" swapped "${bytes}")
  math(EXPR value "0x${swapped}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

le32(count 6)
if(count EQUAL 0 OR count GREATER 1000)
  message(FATAL_ERROR "${PIPL_FILE}: ${count} properties; not a property list")
endif()
set(at 10)
set(found_version "")
set(found_flags2 "")
set(found_spec "")
foreach(i RANGE 1 ${count})
  math(EXPR header_end "${at} + 16")
  if(header_end GREATER size)
    message(FATAL_ERROR "${PIPL_FILE}: ends inside property ${i} of ${count} (offset ${at})")
  endif()
  math(EXPR key_begin "(${at} + 4) * 2")
  string(SUBSTRING "${hex}" ${key_begin} 8 key)
  math(EXPR data_at "${at} + 16")
  math(EXPR length_at "${at} + 12")
  le32(length ${length_at})
  # Keys are stored with their characters reversed: 'eVER' is "REVe".
  if(key STREQUAL "52455665")      # eVER
    le32(found_version ${data_at})
  elseif(key STREQUAL "324c4765")  # eGL2
    le32(found_flags2 ${data_at})
  elseif(key STREQUAL "52565365")  # eSVR, major then minor as 16-bit numbers
    le32(found_spec ${data_at})
  endif()
  math(EXPR at "${data_at} + (${length} + 3) / 4 * 4")
endforeach()
if(NOT at EQUAL size)
  message(FATAL_ERROR "${PIPL_FILE}: the properties end at ${at}, the file at ${size}")
endif()
if(found_version STREQUAL "" OR found_flags2 STREQUAL "" OR found_spec STREQUAL "")
  message(FATAL_ERROR "${PIPL_FILE}: no version, spec version or second flag word")
endif()

math(EXPR expected_version "${VERSION_WORD}")
if(NOT found_version EQUAL expected_version)
  math(EXPR shown "${found_version}" OUTPUT_FORMAT HEXADECIMAL)
  message(FATAL_ERROR
    "${PIPL_FILE} holds version word ${shown}, this build's project(VERSION) packs to "
    "${VERSION_WORD}: the property list comes from another version; rebuild it")
endif()

# PF_OutFlag2_SUPPORTS_THREADED_RENDERING
math(EXPR threaded "(${found_flags2} >> 27) & 1")
math(EXPR spec_minor "${found_spec} >> 16")
if(MULTI_FRAME)
  set(want_threaded 1)
  set(want_minor 28)
else()
  set(want_threaded 0)
  set(want_minor 0)
endif()
if(NOT threaded EQUAL want_threaded OR NOT spec_minor EQUAL want_minor)
  message(FATAL_ERROR
    "${PIPL_FILE} has the multi-frame flag ${threaded} and spec version minor ${spec_minor}, "
    "this build (VELKOR_MULTI_FRAME=${MULTI_FRAME}) reports ${want_threaded} and ${want_minor}: "
    "the property list comes from another configuration; rebuild it")
endif()

file(TOUCH "${STAMP}")
