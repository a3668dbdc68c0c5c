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
if(QM_SANITIZE OR QM_FUZZ)
  target_compile_options(qm_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(qm_options INTERFACE -fsanitize=address,undefined)
endif()
