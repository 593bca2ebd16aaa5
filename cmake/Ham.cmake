# ham_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# A GoogleTest executable registered with CTest; locale and time zone pinned.
function(ham_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    HAM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" HAM_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "LC_ALL=C.UTF-8;LANG=C.UTF-8;TZ=UTC")
endfunction()

# ham_subdirs(): add every direct subfolder holding a CMakeLists.txt.
function(ham_subdirs)
  file(GLOB _dirs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_d IN LISTS _dirs)
    if(IS_DIRECTORY ${_d} AND EXISTS ${_d}/CMakeLists.txt)
      add_subdirectory(${_d})
    endif()
  endforeach()
endfunction()

# ham_fuzzer(NAME SOURCES a.cpp LIBS lib1): a libFuzzer target (clang only).
function(ham_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
endfunction()
