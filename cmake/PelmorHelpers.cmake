# pelmor_add_library(<name> SOURCES ... [LIBS ...])
# A static library whose public include root is src/, so code includes
# headers as "db/Database.h", "text/Formats.h" and so on.
function(pelmor_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# pelmor_add_test(<name> SOURCES ... [LIBS ...])
# Builds a Qt Test program and registers it with CTest, offscreen, with the
# test data folders handed in as compile definitions.
function(pelmor_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    target_compile_definitions(${name} PRIVATE
        PELMOR_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        PELMOR_SAMPLES="${PROJECT_SOURCE_DIR}/samples")
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        TIMEOUT ${ARG_TIMEOUT})
endfunction()
