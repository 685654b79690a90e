# Defines fltk::fltk and FLTK_VERSION for FLTK 1.3 and 1.4 alike.
# See LICENSE file for copyright and license details.
#
# Distribution CMake packages of FLTK are unreliable (Debian 12's 1.3.8 calls dpkg-architecture,
# Debian 13's 1.4 defines fltk::fluid twice), while every FLTK build ships fltk-config.
# An FLTK built from source with CMake can be named with -DFLTK_DIR=<prefix>/share/fltk.
if(FLTK_DIR)
  find_package(FLTK 1.4 CONFIG REQUIRED)
else()
  find_program(FLTK_CONFIG fltk-config REQUIRED)
  foreach(q version cxxflags ldflags)
    execute_process(COMMAND ${FLTK_CONFIG} --${q} OUTPUT_VARIABLE FLTK_${q}
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  if(FLTK_version VERSION_LESS 1.3)
    message(FATAL_ERROR "pixtape needs FLTK 1.3 or 1.4, found ${FLTK_version}")
  endif()
  set(FLTK_VERSION ${FLTK_version}) # as find_package names it
  message(STATUS "FLTK ${FLTK_version} (${FLTK_CONFIG})")
  separate_arguments(FLTK_cxxflags UNIX_COMMAND "${FLTK_cxxflags}")
  separate_arguments(FLTK_ldflags UNIX_COMMAND "${FLTK_ldflags}")
  add_library(fltk::fltk INTERFACE IMPORTED)
  set_target_properties(fltk::fltk PROPERTIES
    INTERFACE_COMPILE_OPTIONS "${FLTK_cxxflags}" INTERFACE_LINK_LIBRARIES "${FLTK_ldflags}")
endif()
