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
    if(AIRLARK_ASSERTIONS)
        # Optimised builds define NDEBUG, and Qt adds QT_NO_DEBUG, which compile out assert() and
        # Q_ASSERT (the main-thread checks among them). Options come after the definitions on
        # the compiler's command line, so these undo both.
        target_compile_options(${target} PRIVATE -UNDEBUG -UQT_NO_DEBUG)
    endif()
    target_compile_definitions(${target} PRIVATE
        QT_NO_FOREACH
        QT_NO_URL_CAST_FROM_STRING
        QT_USE_QSTRINGBUILDER
        QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
endfunction()

# The layers, lowest first. A library may link libraries of lower layers only; a screens library
# (one in a ui/ folder, named *_ui) may also link its own subsystem's logic library and
# airlark_platform_ui, and only the application links other screens libraries.
set(AIRLARK_LAYER_platform 0)
set(AIRLARK_LAYER_resources 0)
set(AIRLARK_LAYER_ftp 1)
set(AIRLARK_LAYER_http 1)
set(AIRLARK_LAYER_store 1)
set(AIRLARK_LAYER_metadata 2)
set(AIRLARK_LAYER_hosts 2)
set(AIRLARK_LAYER_publish 3)
set(AIRLARK_LAYER_cli 4)
set(AIRLARK_LAYER_app 4)

# Splits an Airlark library name into its subsystem and whether it is a screens library.
function(airlark_split_library_name name out_subsystem out_ui)
    string(REGEX REPLACE "^airlark_" "" subsystem "${name}")
    set(ui FALSE)
    if(subsystem MATCHES "_ui$")
        string(REGEX REPLACE "_ui$" "" subsystem "${subsystem}")
        set(ui TRUE)
    endif()
    if(NOT DEFINED AIRLARK_LAYER_${subsystem})
        message(FATAL_ERROR "${name}: no layer is defined for subsystem '${subsystem}' (cmake/AirlarkTargets.cmake)")
    endif()
    set(${out_subsystem} "${subsystem}" PARENT_SCOPE)
    set(${out_ui} ${ui} PARENT_SCOPE)
endfunction()

# Fails the configuration when library `user` links an Airlark library it may not use.
function(airlark_check_edge user user_subsystem user_ui dependency)
    if(NOT dependency MATCHES "^airlark_")
        return()
    endif()
    airlark_split_library_name(${dependency} subsystem ui)
    set(user_layer ${AIRLARK_LAYER_${user_subsystem}})
    set(layer ${AIRLARK_LAYER_${subsystem}})
    if(ui)
        set(allowed FALSE)
        if(user_subsystem STREQUAL "app" OR (user_ui AND dependency STREQUAL "airlark_platform_ui"))
            set(allowed TRUE)
        endif()
    elseif(layer LESS user_layer OR (user_ui AND subsystem STREQUAL user_subsystem))
        set(allowed TRUE)
    else()
        set(allowed FALSE)
    endif()
    if(NOT allowed)
        message(FATAL_ERROR "${user} may not link ${dependency}: dependencies point from higher layers "
            "to lower ones, screens to their own logic (docs/architecture.md, \"Layers\")")
    endif()
endfunction()

# A static library of one subsystem, built from the folder it is declared in. Usage:
#   airlark_library(NAME airlark_store SOURCES a.cpp b.cpp LIBS airlark_platform Qt6::Core)
#
# Sources include Airlark headers as "<folder below src>/<Header>.h". Each library exports only
# the headers of its own folder, through a tree of links in the build folder, so a file sees the
# headers of its own library and of the libraries it links, and an include that crosses the
# layers the wrong way fails to compile.
function(airlark_library)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_library(${ARG_NAME} STATIC ${ARG_SOURCES})

    file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}/src" "${CMAKE_CURRENT_SOURCE_DIR}")
    set(root "${PROJECT_BINARY_DIR}/include/${ARG_NAME}")
    file(REMOVE_RECURSE "${root}")
    file(MAKE_DIRECTORY "${root}/${folder}")
    file(GLOB headers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
    foreach(header IN LISTS headers)
        get_filename_component(name "${header}" NAME)
        file(CREATE_LINK "${header}" "${root}/${folder}/${name}" SYMBOLIC)
    endforeach()
    target_include_directories(${ARG_NAME} PUBLIC "${root}")

    airlark_split_library_name(${ARG_NAME} subsystem ui)
    foreach(library IN LISTS ARG_LIBS)
        airlark_check_edge(${ARG_NAME} ${subsystem} ${ui} ${library})
    endforeach()
    # Lower layers' headers appear in this library's headers, so its users see them too; they are
    # lower than the user as well, so the rule holds.
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_LIBS})
    airlark_target_defaults(${ARG_NAME})
endfunction()

# A GoogleTest executable of the tests in this folder, registered with CTest as one test that runs
# in a private session of its own (scripts/with-test-session.sh): one D-Bus, keyring, HOME and set
# of XDG folders for all of its cases, none shared with tests running beside it. Usage:
#   airlark_test(NAME store_tests SOURCES a_test.cpp LIBS airlark_store TIMEOUT 120)
# XVFB runs it on a virtual X server instead of the offscreen platform.
# The tests see the headers of tests/ and of the libraries they link.
function(airlark_test)
    cmake_parse_arguments(ARG "XVFB" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE airlark_test_support ${ARG_LIBS})
    airlark_target_defaults(${ARG_NAME})
    set(display)
    if(ARG_XVFB)
        # A virtual X server and the xcb platform, as on a desktop (the offscreen platform has no
        # accessibility bridge), with the bridge on as a screen reader would turn it on.
        set(display xvfb-run --auto-servernum "--server-args=-screen 0 1280x960x24 -nolisten tcp"
            env QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
    endif()
    add_test(NAME ${ARG_NAME}
        COMMAND "${PROJECT_SOURCE_DIR}/scripts/with-test-session.sh" ${display} $<TARGET_FILE:${ARG_NAME}>)
    set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
    if(AIRLARK_SANITIZE)
        # Also for the processes the tests start (the application, a second instance).
        set_tests_properties(${ARG_NAME} PROPERTIES ENVIRONMENT
            "ASAN_OPTIONS=detect_stack_use_after_return=1;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1;TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
    endif()
endfunction()
