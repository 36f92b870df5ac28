# Project-wide compiler settings, applied to every target through quill_options.
add_library(quill_options INTERFACE)
target_compile_options(quill_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                               -Wno-sign-conversion)
if(QUILL_WARNINGS_AS_ERRORS)
  target_compile_options(quill_options INTERFACE -Werror)
endif()
if(QUILL_SANITIZE)
  target_compile_options(quill_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
  target_link_options(quill_options INTERFACE -fsanitize=address,undefined)
endif()
if(QUILL_FUZZ)
  # Every library is instrumented for the fuzzers; only the fuzz targets link libFuzzer.
  target_compile_options(quill_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
  target_link_options(quill_options INTERFACE -fsanitize=address,undefined)
endif()
