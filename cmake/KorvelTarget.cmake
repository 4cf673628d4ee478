# Warnings as errors for our own code only; Qt and system headers come in as SYSTEM.
function(korvel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# A library of ours: korvel_library(name SOURCES ... LINKS ...)
function(korvel_library name)
  cmake_parse_arguments(K "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${K_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${K_LINKS})
  korvel_warnings(${name})
  if("Qt6::Widgets" IN_LIST K_LINKS)
    korvel_precompiled(${name} WIDGETS)
  else()
    korvel_precompiled(${name} LIBRARY)
  endif()
endfunction()

# A GoogleTest executable registered with ctest:
#   korvel_test(name [GUI] [ONE_PROCESS] [COST seconds] SOURCES ... LINKS ...)
# GUI tests get a QApplication; the others a QCoreApplication. COST is about
# how long each of its cases runs: ctest starts the long ones first, so they
# run beside the short ones instead of after them (later runs use the times
# ctest measured). Each case runs in a process of its own, except with
# ONE_PROCESS: quick unit cases then run together in one process, as starting
# a sanitizer build's process costs more than such a case.
function(korvel_test name)
  cmake_parse_arguments(K "GUI;ONE_PROCESS" "COST" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${K_SOURCES})
  if(K_GUI)
    set(main korvel_guitestmain)
    set(kind GUI_TEST)
  else()
    set(main korvel_testmain)
    set(kind TEST)
  endif()
  target_link_libraries(${name} PRIVATE ${K_LINKS} korvel_testsupport ${main} GTest::gtest)
  korvel_warnings(${name})
  korvel_precompiled(${name} ${kind})
  # Paths the tests need are compiled into korvel_testsupport (dataDir, artifactDir).
  if(NOT K_COST)
    set(K_COST 0)
  endif()
  if(K_ONE_PROCESS)
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES COST ${K_COST})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES COST ${K_COST})
  endif()
endfunction()
