# pelmor_add_library(<name> SOURCES ... [LIBS ...] [PRIVATE_LIBS ...] [INCLUDE_ROOT dir])
# A static library, compiled a few sources at a time as one unit (so the Qt
# headers are read once per batch, not once per file), that publishes only
# its own headers. Each header listed in
# SOURCES is linked into an include folder of the library's own, under its
# path below INCLUDE_ROOT (default src/), so code still includes
# "db/Connection.h", but only when it links the library that holds it: a
# header of a library that is not linked is not found at compile time.
function(pelmor_add_library name)
    cmake_parse_arguments(ARG "" "INCLUDE_ROOT" "SOURCES;LIBS;PRIVATE_LIBS" ${ARGN})
    if(NOT ARG_INCLUDE_ROOT)
        set(ARG_INCLUDE_ROOT ${PROJECT_SOURCE_DIR}/src)
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES UNITY_BUILD ON)

    set(include_dir ${CMAKE_BINARY_DIR}/include/${name})
    file(REMOVE_RECURSE ${include_dir})
    foreach(source IN LISTS ARG_SOURCES)
        if(NOT source MATCHES "\\.h$")
            continue()
        endif()
        get_filename_component(header ${source} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
        file(RELATIVE_PATH relative ${ARG_INCLUDE_ROOT} ${header})
        get_filename_component(folder ${include_dir}/${relative} DIRECTORY)
        file(MAKE_DIRECTORY ${folder})
        file(CREATE_LINK ${header} ${include_dir}/${relative} SYMBOLIC COPY_ON_ERROR)
    endforeach()
    target_include_directories(${name} PUBLIC ${include_dir})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# pelmor_add_test(<name> SOURCES ... [LIBS ...] [FUNCTIONS ...] [MANY_PROCESSES | FIRST_PASS_ONLY])
# Builds a Qt Test program and registers it with CTest, offscreen, with the
# test data folders handed in as compile definitions. With FUNCTIONS each
# named test function is a CTest test of its own, <name>_<function>, so
# long ones run side by side. MANY_PROCESSES marks a test that kills or races
# the headless tool hundreds of times: labelled many_processes, and left out
# of the sanitizer build, which runs the tool's code through the other tests.
# FIRST_PASS_ONLY marks another test left out of that build (labelled
# first_pass_only): one whose code under test the other tests reach there.
function(pelmor_add_test name)
    cmake_parse_arguments(ARG "MANY_PROCESSES;FIRST_PASS_ONLY" "TIMEOUT" "SOURCES;LIBS;FUNCTIONS" ${ARGN})
    if((ARG_MANY_PROCESSES OR ARG_FIRST_PASS_ONLY) AND PELMOR_SANITIZE)
        add_executable(${name} EXCLUDE_FROM_ALL ${ARG_SOURCES})
    else()
        add_executable(${name} ${ARG_SOURCES})
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Widgets ${ARG_LIBS})
    pelmor_test_code_options(${name})
    pelmor_test_headers()
    target_precompile_headers(${name} REUSE_FROM pelmor_test_headers)
    # Moc's unit of a test holds little or nothing: reading the precompiled
    # headers would cost it more than they save.
    set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/mocs_compilation.cpp
        PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    target_compile_definitions(${name} PRIVATE
        PELMOR_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        PELMOR_SAMPLES="${PROJECT_SOURCE_DIR}/samples")
    set(tests ${name})
    if(ARG_FUNCTIONS)
        set(tests "")
        foreach(function IN LISTS ARG_FUNCTIONS)
            add_test(NAME ${name}_${function} COMMAND ${name} ${function})
            list(APPEND tests ${name}_${function})
        endforeach()
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    # Per-user settings of the test's own, never those of whoever runs it.
    foreach(test IN LISTS tests)
        set_tests_properties(${test} PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-settings/${test}"
            TIMEOUT ${ARG_TIMEOUT})
        if(ARG_MANY_PROCESSES)
            set_tests_properties(${test} PROPERTIES LABELS many_processes)
        elseif(ARG_FIRST_PASS_ONLY)
            set_tests_properties(${test} PROPERTIES LABELS first_pass_only)
        endif()
    endforeach()
endfunction()

# The test's own code is compiled with less optimisation than the program,
# which takes a third less time; the code under test keeps the program's.
# Under the sanitizers it is not optimised at all.
function(pelmor_test_code_options target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE $<IF:$<BOOL:${PELMOR_SANITIZE}>,-O0,-O1>)
    endif()
endfunction()

# The Qt and standard headers most tests read, compiled once per build into
# a precompiled header that every test program reuses: a test's compile is a
# fifth to a half shorter. Its options are the tests' own, as the compilers
# require; Qt Test's headers stay out, since Qt Test defines per program the
# folder its programs are built in.
function(pelmor_test_headers)
    if(TARGET pelmor_test_headers)
        return()
    endif()
    set(source ${CMAKE_BINARY_DIR}/pelmor_test_headers.cpp)
    file(CONFIGURE OUTPUT ${source} CONTENT "// The precompiled test headers' own unit.\n")
    add_library(pelmor_test_headers OBJECT ${source})
    target_link_libraries(pelmor_test_headers PRIVATE Qt6::Widgets)
    pelmor_test_code_options(pelmor_test_headers)
    target_precompile_headers(pelmor_test_headers PRIVATE
        <QApplication> <QByteArray> <QComboBox> <QDate> <QDateTime> <QDir> <QElapsedTimer> <QFile>
        <QFileInfo> <QImage> <QJsonDocument> <QJsonObject> <QLabel> <QLineEdit> <QObject> <QPainter>
        <QProcess> <QPushButton> <QString> <QStringList> <QTemporaryDir> <QTextStream> <QTimer> <QWidget>
        <algorithm> <functional> <map> <memory> <optional> <vector>)
endfunction()
