# The core's tests that need neither Qt nor a pseudo-terminal, for a build without the desktop
# program: natively, or cross-built for Windows and run through the cross-compiling emulator
# (Wine) there, together with the tests of the Windows drivers.
if(CMAKE_CROSSCOMPILING)
  # Debian's googletest package ships its sources; they are built with the cross compiler.
  set(KESTREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KESTREL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)  # GTest::gtest
else()
  find_package(GTest REQUIRED)
endif()

add_library(kestrel_core_test_support STATIC support/FakeView.cpp support/FakeLink.cpp support/FakeSerialDriver.cpp)
target_link_libraries(kestrel_core_test_support PUBLIC kestrel_core kestrel_cli GTest::gtest)
target_include_directories(kestrel_core_test_support PUBLIC ${CMAKE_SOURCE_DIR})

set(KESTREL_CORE_TESTS
    link/command_queue_test link/commands_test link/cp1251_test link/frame_test link/reception_test
    link/tcomm32_test operations/chip_selection_test operations/command_list_test operations/reply_handler_test
    operations/watchdog_test buffer/grid_test buffer/hex_reader_test buffer/srecord_test buffer/elf_reader_test
    buffer/working_file_test
    cli/options_test cli/stored_settings_test cli/chip_check_test cli/image_files_test cli/report_test
    cli/console_test cli/serial_numbers_test cli/sha256_test
    cli/mismatch_test)
if(WIN32)
  file(GLOB KESTREL_WINDOWS_TESTS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS windows/*_test.cpp)
  string(REPLACE ".cpp" "" KESTREL_WINDOWS_TESTS "${KESTREL_WINDOWS_TESTS}")
  list(APPEND KESTREL_CORE_TESTS ${KESTREL_WINDOWS_TESTS})
else()
  # These fork, signal and kill processes.
  list(APPEND KESTREL_CORE_TESTS cli/serial_file_test cli/run_log_test cli/interrupt_test)
endif()

foreach(test IN LISTS KESTREL_CORE_TESTS)
  string(REPLACE "/" "_" target ${test})
  add_executable(${target} ${test}.cpp)
  target_link_libraries(${target} PRIVATE kestrel_core_test_support GTest::gtest_main)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES ENVIRONMENT LANG=C.UTF-8)
endforeach()
