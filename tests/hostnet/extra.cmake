# The export test reads the host libraries the build made.
if(TARGET test_hostnet_Exports_test)
  target_compile_definitions(test_hostnet_Exports_test PRIVATE DUNMORE_LIBRARY="$<TARGET_FILE:dunmore>"
                             PELLAR_LIBRARY="$<TARGET_FILE:pellar>" OSTREL_LIBRARY="$<TARGET_FILE:ostrel>")
endif()
