# SPDX-License-Identifier: GPL-3.0-or-later
# Target helpers: every library, executable and test of the project is made through these, so
# warnings, sanitizers and the pure/Qt boundary are applied in one place.
include_guard(GLOBAL)
include(GoogleTest)

set(MORVANE_SOURCE_ROOT "${PROJECT_SOURCE_DIR}/src")

function(morvane_apply_flags target is_core)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(is_core)
        target_compile_options(${target} PRIVATE -Wconversion)
    endif()
    if(MORVANE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(MORVANE_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    target_compile_definitions(${target} PRIVATE QT_NO_FOREACH QT_NO_URL_CAST_FROM_STRING)
endfunction()

# morvane_core_library(NAME SOURCES ... [LINKS other_core ...])
# Pure logic: standard library only. Linking anything but another _core library is refused.
function(morvane_core_library name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS;SYSTEM_LINKS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "morvane_core_library(${name}): unparsed ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT name MATCHES "_core$")
        message(FATAL_ERROR "morvane_core_library(${name}): the name must end in _core")
    endif()
    foreach(dep IN LISTS arg_LINKS)
        if(NOT dep MATCHES "^morvane_.*_core$")
            message(FATAL_ERROR "morvane_core_library(${name}): ${dep} is not a _core library")
        endif()
    endforeach()
    add_library(${name} STATIC ${arg_SOURCES})
    target_include_directories(${name} PUBLIC "${MORVANE_SOURCE_ROOT}")
    target_link_libraries(${name} PUBLIC ${arg_LINKS} ${arg_SYSTEM_LINKS})
    set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF
                                             POSITION_INDEPENDENT_CODE ON)
    morvane_apply_flags(${name} TRUE)
endfunction()

# morvane_qt_library(NAME SOURCES ... [LINKS ...])
function(morvane_qt_library name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "morvane_qt_library(${name}): unparsed ${arg_UNPARSED_ARGUMENTS}")
    endif()
    add_library(${name} STATIC ${arg_SOURCES})
    target_include_directories(${name} PUBLIC "${MORVANE_SOURCE_ROOT}")
    target_link_libraries(${name} PUBLIC ${arg_LINKS} Qt6::Widgets)
    morvane_apply_flags(${name} FALSE)
endfunction()

# morvane_executable(NAME SOURCES ... [LINKS ...])
function(morvane_executable name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "morvane_executable(${name}): unparsed ${arg_UNPARSED_ARGUMENTS}")
    endif()
    add_executable(${name} ${arg_SOURCES})
    target_include_directories(${name} PRIVATE "${MORVANE_SOURCE_ROOT}")
    target_link_libraries(${name} PRIVATE ${arg_LINKS})
    morvane_apply_flags(${name} FALSE)
endfunction()

# morvane_gtest(NAME SOURCES ... LINKS ...): GoogleTest over pure logic, label "unit".
function(morvane_gtest name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "morvane_gtest(${name}): unparsed ${arg_UNPARSED_ARGUMENTS}")
    endif()
    add_executable(${name} ${arg_SOURCES})
    target_include_directories(${name} PRIVATE "${MORVANE_SOURCE_ROOT}" "${PROJECT_SOURCE_DIR}/tests")
    target_link_libraries(${name} PRIVATE ${arg_LINKS} GTest::gtest GTest::gtest_main)
    set_target_properties(${name} PROPERTIES AUTOMOC OFF RUNTIME_OUTPUT_DIRECTORY
                                             "${CMAKE_BINARY_DIR}/tests")
    morvane_apply_flags(${name} FALSE)
    target_compile_definitions(${name} PRIVATE
        MORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        MORVANE_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
    # The undo journal of every test goes to the build tree, never to the user's state folder.
    gtest_discover_tests(${name} PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60
                         ENVIRONMENT "XDG_STATE_HOME=${CMAKE_BINARY_DIR}/tests/state/${name}")
endfunction()

# morvane_qtest(NAME SOURCES ... LINKS ...): Qt Test over windows, offscreen, label "ui".
function(morvane_qtest name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINKS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "morvane_qtest(${name}): unparsed ${arg_UNPARSED_ARGUMENTS}")
    endif()
    add_executable(${name} ${arg_SOURCES})
    target_include_directories(${name} PRIVATE "${MORVANE_SOURCE_ROOT}" "${PROJECT_SOURCE_DIR}/tests")
    target_link_libraries(${name} PRIVATE ${arg_LINKS} Qt6::Test Qt6::Widgets)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
    morvane_apply_flags(${name} FALSE)
    target_compile_definitions(${name} PRIVATE
        MORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        MORVANE_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ui TIMEOUT 300
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;XDG_STATE_HOME=${CMAKE_BINARY_DIR}/tests/state/${name}")
endfunction()
