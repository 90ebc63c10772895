# Every target of the project compiles with the same strict warnings.
add_library(vellumo_warnings INTERFACE)
target_compile_options(vellumo_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wshadow -Wconversion -Wno-sign-conversion
  -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough)

# Sanitizers are applied per target so that benchmarks can link an
# unsanitized copy of the same sources in the same build tree.
add_library(vellumo_sanitize INTERFACE)
if(VELLUMO_SANITIZE AND NOT WIN32)
  # -O1 and line tables only: the sanitizers report as well, and the build
  # takes less than half the time of -O2 with full debug information.
  target_compile_options(vellumo_sanitize INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -g1)
  target_link_options(vellumo_sanitize INTERFACE -fsanitize=address,undefined)
endif()

if(WIN32)
  # One self-contained exe per target: no MinGW runtime DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
