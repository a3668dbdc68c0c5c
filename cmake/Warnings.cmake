# Compiler settings shared by every target of the project.
add_library(qm_options INTERFACE)
target_compile_options(qm_options INTERFACE -Wall -Wextra)
# Floating-point results must not depend on the machine that built the program:
# no fused multiply-add contraction, whatever instruction set is enabled.
target_compile_options(qm_options INTERFACE -ffp-contract=off)
# The rank filters' sorting networks are fold expressions of a few hundred terms,
# beyond clang's default nesting limit of 256.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(qm_options INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-fbracket-depth=1024>)
endif()
if(QM_NATIVE)
  target_compile_options(qm_options INTERFACE -march=native)
endif()
if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo" OR CMAKE_BUILD_TYPE STREQUAL "Release")
  target_compile_options(qm_options INTERFACE -O3)
endif()
if(QM_FUZZ)
  target_compile_options(qm_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
if(QM_TSAN AND (QM_SANITIZE OR QM_FUZZ))
  message(FATAL_ERROR "QM_TSAN cannot be combined with QM_SANITIZE or QM_FUZZ: build it in a folder of its own")
endif()
# OpenMP's runtime is not instrumented: its barriers look like races. Run the tests of a
# ThreadSanitizer build with OMP_THREAD_LIMIT=1, which keeps every parallel region on
# the thread that enters it.
if(QM_TSAN)
  target_compile_options(qm_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(qm_options INTERFACE -fsanitize=thread)
endif()
if(QM_SANITIZE OR QM_FUZZ)
  target_compile_options(qm_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(qm_options INTERFACE -fsanitize=address,undefined)
endif()
