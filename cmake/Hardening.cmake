# The hardening distributions build with, as far as the compiler and linker take it.
# See LICENSE file for copyright and license details.
#
# The flags go in front of CMAKE_CXX_FLAGS and CMAKE_EXE_LINKER_FLAGS, so that whatever a packager
# passes there comes later on the command line and wins (-fno-stack-protector, say).
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)
include(CheckPIESupported)

check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

set(pixtape_hardening "")
foreach(flag -fstack-protector-strong -fstack-clash-protection -fcf-protection)
  string(MAKE_C_IDENTIFIER "PIXTAPE_HAS${flag}" var)
  check_cxx_compiler_flag(${flag} ${var})
  if(${var})
    string(APPEND pixtape_hardening " ${flag}")
  endif()
endforeach()
set(CMAKE_CXX_FLAGS "${pixtape_hardening} ${CMAKE_CXX_FLAGS}")

check_linker_flag(CXX "-Wl,-z,relro,-z,now" PIXTAPE_HAS_BINDNOW)
if(PIXTAPE_HAS_BINDNOW)
  set(CMAKE_EXE_LINKER_FLAGS "-Wl,-z,relro,-z,now ${CMAKE_EXE_LINKER_FLAGS}")
endif()

# Fortified libc calls need optimization, and AddressSanitizer checks those calls itself. Left
# alone where the packager's flags or the compiler already choose a level.
set(CMAKE_REQUIRED_FLAGS "-O2 ${CMAKE_CXX_FLAGS}")
check_cxx_source_compiles("
#ifdef _FORTIFY_SOURCE
#error already fortified
#endif
int main() { return 0; }" PIXTAPE_FORTIFY_UNSET)
unset(CMAKE_REQUIRED_FLAGS)
if(PIXTAPE_FORTIFY_UNSET AND NOT PIXTAPE_SANITIZE)
  foreach(config RELEASE RELWITHDEBINFO MINSIZEREL)
    if(NOT CMAKE_CXX_FLAGS_${config} MATCHES "_FORTIFY_SOURCE")
      set(CMAKE_CXX_FLAGS_${config} "-D_FORTIFY_SOURCE=2 ${CMAKE_CXX_FLAGS_${config}}")
    endif()
  endforeach()
endif()
