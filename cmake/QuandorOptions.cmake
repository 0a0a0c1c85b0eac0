# Warnings and sanitizers for every target of the project.
option(QUANDOR_WERROR "Treat warnings as errors" OFF)
set(QUANDOR_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address;undefined' or 'thread'")

add_compile_options(-Wall -Wextra)
if(QUANDOR_WERROR)
  add_compile_options(-Werror)
endif()

if(QUANDOR_SANITIZE)
  foreach(s IN LISTS QUANDOR_SANITIZE)
    add_compile_options(-fsanitize=${s})
    add_link_options(-fsanitize=${s})
  endforeach()
  add_compile_options(-fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fno-sanitize-recover=all)
endif()

# The bench_* programs measure speed, which a sanitizer's build cannot tell:
# they are built only where nothing is sanitized, unless asked for.
if(QUANDOR_SANITIZE)
  set(quandor_benchmarks_default OFF)
else()
  set(quandor_benchmarks_default ON)
endif()
option(QUANDOR_BENCHMARKS "Build the benchmark programs (bench_*)" ${quandor_benchmarks_default})
