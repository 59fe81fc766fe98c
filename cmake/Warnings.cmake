# Warnings are set per target through this interface library, so third-party code
# (GoogleTest, Google Benchmark) is never built with them.
add_library(vyr_warnings INTERFACE)
add_library(vyr::warnings ALIAS vyr_warnings)
target_compile_options(vyr_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wimplicit-fallthrough
    $<$<BOOL:${VYR_WERROR}>:-Werror>)
