# Warnings and sanitizers shared by every target of the project.
add_library(tqf_options INTERFACE)
target_compile_options(tqf_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
if(TQF_WERROR)
  target_compile_options(tqf_options INTERFACE -Werror)
endif()
if(TQF_SANITIZE)
  target_compile_options(tqf_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                               -fno-sanitize-recover=all)
  target_link_options(tqf_options INTERFACE -fsanitize=address,undefined)
endif()

# A hardened build by default: stack protector, fortified libc calls where the
# optimiser can see sizes, position-independent executables and full RELRO.
option(TQF_HARDEN "Build hardened executables" ON)
if(TQF_HARDEN)
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  target_compile_options(tqf_options INTERFACE -fstack-protector-strong
                                               $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
  target_link_options(tqf_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()
