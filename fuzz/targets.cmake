# The fuzz targets (libFuzzer, so clang builds only): each feeds arbitrary
# bytes to one reader of outside input. See docs/fuzzing.md; fuzz/run.sh
# builds and runs them:
#   fuzz/run.sh 600 signature_fuzz
# In a sanitizer build they run with ASan and UBSan. For coverage inside the
# project's own code (not only the target file) configure the fuzzing build
# with -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link (run.sh does).
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(_fuzz_targets
    param_fuzz          # command line: ParamChecker / ParamCheckerCore::CheckParams
    markup_fuzz         # error dialog: splitMessageIntoRuns
    version_fuzz        # runtime version: Scanner, install::platform_getFileVersion
    plist_fuzz          # Info.plist and SystemVersion.plist readers
    signature_fuzz      # SignatureVerification::readPkcs7 and the signer checks
    crl_fuzz            # SignatureVerification::readCrlFromPath, DER and PEM
    crl_points_fuzz)    # crlAddressesFromPrintedPoints
  set(_fuzz_libs_param_fuzz bootstrapper_core)
  set(_fuzz_libs_markup_fuzz bootstrapper_core)
  set(_fuzz_libs_version_fuzz libinstall)
  set(_fuzz_libs_plist_fuzz libinstall)
  set(_fuzz_libs_signature_fuzz bootstrapper_core)
  set(_fuzz_libs_crl_fuzz bootstrapper_core)
  set(_fuzz_libs_crl_points_fuzz bootstrapper_core)

  foreach(_target ${_fuzz_targets})
    add_executable(${_target} ${_target}.cpp)
    target_compile_options(${_target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${_target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${_target} PRIVATE ${_fuzz_libs_${_target}})

    # Replays the seeds and every kept crash input once (-runs=0 runs the
    # given folders' files and stops); fails when any of them crashes. The
    # first folder is where libFuzzer would write, so it is a scratch one.
    set(_replay_dirs "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${_target}")
    if(IS_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}/regressions/${_target}")
      list(APPEND _replay_dirs "${CMAKE_CURRENT_SOURCE_DIR}/regressions/${_target}")
    endif()
    set(_scratch "${CMAKE_CURRENT_BINARY_DIR}/replay/${_target}")
    file(MAKE_DIRECTORY "${_scratch}")
    add_test(NAME ${_target}_replay
      COMMAND ${_target} -runs=0 "${_scratch}" ${_replay_dirs})
    set_tests_properties(${_target}_replay PROPERTIES LABELS fuzz TIMEOUT 300)
  endforeach()
  # The targets that run the revocation stage keep its log records out of
  # the system log (quiet_syslog.cpp) and read the demo PKI.
  foreach(_target signature_fuzz crl_fuzz)
    target_sources(${_target} PRIVATE quiet_syslog.cpp)
    target_compile_definitions(${_target} PRIVATE
      VANTOR_FUZZ_DEMO_PKI="${PROJECT_SOURCE_DIR}/demo-pki")
  endforeach()
endif()
