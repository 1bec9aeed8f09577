# Flags and helpers shared by every target of the project.

# Narrow literals are GBK, as the stored files of the original are. GB18030 is named because it
# encodes every GBK character with the same bytes and can also hold the few non-GBK characters
# that libstdc++'s own headers carry (<chrono> has a micro sign), which plain GBK refuses.
# u8"..." stays a plain char array (UTF-8 bytes) where the code talks to wxWidgets or Linux.
set(CORVAY_COMPILE_OPTIONS -fexec-charset=GB18030 -fno-char8_t -Wall -Wextra)
# clang knows no execution charset but UTF-8. Only the fuzz build (build-fuzz/) uses clang, and
# the code it compiles has ASCII literals only.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(REMOVE_ITEM CORVAY_COMPILE_OPTIONS -fexec-charset=GB18030)
  if(NOT CORVAY_FUZZ)
    message(WARNING "clang build: narrow literals are UTF-8, not GBK; build the programs with g++")
  endif()
endif()
set(CORVAY_LINK_OPTIONS "")
if(CORVAY_SANITIZE STREQUAL "address")
  list(APPEND CORVAY_COMPILE_OPTIONS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  list(APPEND CORVAY_LINK_OPTIONS -fsanitize=address,undefined)
elseif(CORVAY_SANITIZE STREQUAL "thread")
  list(APPEND CORVAY_COMPILE_OPTIONS -fsanitize=thread -fno-omit-frame-pointer)
  list(APPEND CORVAY_LINK_OPTIONS -fsanitize=thread)
elseif(NOT CORVAY_SANITIZE STREQUAL "")
  message(FATAL_ERROR "CORVAY_SANITIZE must be empty, 'address' or 'thread'")
endif()

function(corvay_target_options target)
  target_compile_options(${target} PRIVATE ${CORVAY_COMPILE_OPTIONS})
  target_link_options(${target} PRIVATE ${CORVAY_LINK_OPTIONS})
endfunction()

# corvay_library(name [SHARED] [RECURSE] DEPS ...): a library made of every .cpp of the calling
# folder (RECURSE: and of its subfolders).
# Libraries of folders that may not exist yet are named with $<TARGET_NAME_IF_EXISTS:...>.
function(corvay_library name)
  cmake_parse_arguments(ARG "SHARED;RECURSE" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_RECURSE)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT sources)
    # Headers only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  if(ARG_SHARED)
    add_library(${name} SHARED ${sources})
  else()
    add_library(${name} STATIC ${sources})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  corvay_target_options(${name})
  # A shared library exports what its headers mark and nothing else, so the static code linked
  # into it (its own copy of the platform layer) stays its own: no call of one library lands in
  # another's copy, and no definition is there twice for the dynamic linker to choose from.
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden C_VISIBILITY_PRESET hidden
                        VISIBILITY_INLINES_HIDDEN ON)
  if(ARG_SHARED)
    target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL)
  endif()
endfunction()

# The project's libraries that exist in this tree (tests and benchmarks link them all; the linker
# keeps only what each one uses).
function(corvay_project_libraries out)
  set(found "")
  foreach(lib platform_host platform_text platform_files platform_sync platform_clock platform_prompt platform_net platform_http
              platform_wmi platform_wifi platform_ui engine wireless templates bench dunmore pellar ostrel resizable
              corvay_dialogs)
    if(TARGET ${lib})
      list(APPEND found ${lib})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
