# The tool's tests link its library (kept out of the other tests: its ids and dialog names are
# its own) and need its program and packs built.
if(TARGET stavrintool_lib)
  file(GLOB tool_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
  foreach(src ${tool_tests})
    get_filename_component(stem ${src} NAME_WE)
    target_link_libraries(test_stavrintool_${stem} PRIVATE stavrintool_lib)
    add_dependencies(test_stavrintool_${stem} stavrintool StavrinToolLocalize_cn StavrinToolLocalize_en)
  endforeach()
endif()
