# Fuzz targets of the signature verifier: the signature file and a
# revocation list as arbitrary bytes. libFuzzer comes with clang only, so
# they exist only in clang builds (the sanitizer preset):
#   ninja -C build/sanitize signature_fuzz crl_fuzz
#   build/sanitize/fuzz/signature_fuzz -max_total_time=60 corpus/
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  foreach(_target signature_fuzz crl_fuzz)
    add_executable(${_target} ${_target}.cpp)
    target_compile_options(${_target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${_target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${_target} PRIVATE bootstrapper_core)
  endforeach()
endif()
