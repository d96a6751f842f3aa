# GoogleTest from the distribution's sources, built with this tree's compiler and flags,
# so the same tests run natively, under the sanitizers and, cross-compiled, under Wine.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

if(CMAKE_CROSSCOMPILING)
  # Every Windows test runs under Wine in a prefix of this build tree (scripts/wine-run).
  set(VELMORA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${VELMORA_WINEPREFIX})
endif()

# velmora_add_gtest(name SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest program, registered with CTest as a single test per program.
function(velmora_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;FIXTURES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 600)
  if(CMAKE_CROSSCOMPILING)
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED WinePrefix ${T_FIXTURES})
  elseif(T_FIXTURES)
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED ${T_FIXTURES})
  endif()
endfunction()
