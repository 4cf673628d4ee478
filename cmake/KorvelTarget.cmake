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
endfunction()

# A GoogleTest executable registered with ctest:
#   korvel_test(name [GUI] SOURCES ... LINKS ...)
# GUI tests get a QApplication; the others a QCoreApplication.
function(korvel_test name)
  cmake_parse_arguments(K "GUI" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${K_SOURCES})
  if(K_GUI)
    set(main korvel_guitestmain)
  else()
    set(main korvel_testmain)
  endif()
  target_link_libraries(${name} PRIVATE ${K_LINKS} korvel_testsupport ${main} GTest::gtest)
  korvel_warnings(${name})
  # Paths the tests need are compiled into korvel_testsupport (dataDir, artifactDir).
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120)
endfunction()
