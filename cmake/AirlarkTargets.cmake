# Shared settings for every target built from Airlark's own sources.
function(airlark_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(AIRLARK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(AIRLARK_SANITIZE)
        # GCC's flow analysis gives false maybe-uninitialized reports on sanitizer-instrumented
        # moves of std::variant; the plain build keeps the warning.
        target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
    endif()
    target_compile_definitions(${target} PRIVATE
        QT_NO_FOREACH
        QT_NO_URL_CAST_FROM_STRING
        QT_USE_QSTRINGBUILDER
        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
endfunction()

# A static library of one subsystem. Usage:
#   airlark_library(NAME store SOURCES a.cpp b.cpp LIBS airlark_platform Qt6::Core)
function(airlark_library)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_library(${ARG_NAME} STATIC ${ARG_SOURCES})
    target_include_directories(${ARG_NAME} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LIBS})
    airlark_target_defaults(${ARG_NAME})
endfunction()

# A GoogleTest executable registered with CTest. Usage:
#   airlark_test(NAME store_tests SOURCES a_test.cpp LIBS airlark_store)
function(airlark_test)
    cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE airlark_test_support ${ARG_LIBS})
    airlark_target_defaults(${ARG_NAME})
    # Each test process gets a session of its own (D-Bus, keyring, HOME), so tests that run side by
    # side never share a credential item and none touches the developer's own keyring.
    set_property(TARGET ${ARG_NAME} PROPERTY CROSSCOMPILING_EMULATOR "${PROJECT_SOURCE_DIR}/scripts/with-test-session.sh")
    # Discovery runs when ctest runs, inside the test session (private bus, keyring, data directories).
    gtest_discover_tests(${ARG_NAME}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${ARG_TIMEOUT})
endfunction()
