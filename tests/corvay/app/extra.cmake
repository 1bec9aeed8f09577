# Crash-report libraries for the start-up tests: one complete, one with BootReport alone.
set(crashnote_dir ${CMAKE_BINARY_DIR}/tests/fixtures)
foreach(kind both bootonly)
  add_library(crashnote_${kind} MODULE ${CMAKE_CURRENT_LIST_DIR}/fixtures/Crashnote.c)
  set_target_properties(crashnote_${kind} PROPERTIES PREFIX "" OUTPUT_NAME Crashnote_${kind}
                        LIBRARY_OUTPUT_DIRECTORY ${crashnote_dir})
  if(TARGET test_corvay_app_CorvayApp_test)
    add_dependencies(test_corvay_app_CorvayApp_test crashnote_${kind})
  endif()
endforeach()
target_compile_definitions(crashnote_bootonly PRIVATE BOOT_ONLY)
