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
