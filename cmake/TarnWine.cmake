# Wine as the test machine of the Windows tests.
#
# One private prefix per build tree (never ~/.wine): the fixture test "wine.prefix.setup"
# copies a cached pristine template into ${TARN_WINE_PREFIX} and starts a persistent
# wineserver in it; "wine.prefix.cleanup" stops the server, and ctest runs it also when tests
# fail. Every test added with tarn_add_wine_test requires that fixture and runs with
# TARN_WINE_ENVIRONMENT.
#
# Further preparation of the prefix (installing an MSI package, registering a DLL) is a
# fixture of its own, added with tarn_add_wine_setup; the tests that need it name it in
# FIXTURES, or later with tarn_wine_tests_require:
#
#   tarn_add_wine_setup(NAME msi_products COMMAND ... [CLEANUP_COMMAND ...])
#   tarn_add_wine_test(NAME ${TARN_WINE_TESTS}.msi_test COMMAND msi_test FIXTURES msi_products)
#
# The i686 tree (TARN_WINE_WOW64, set by its toolchain file) runs under the WOW64 Wine of
# scripts/wow64-root.sh, in a prefix with a 32-bit side copied from a template of its own.
# One ctest run holds both trees, and fixture and lock names are global to it, so that tree's
# fixtures, locks and setup tests carry "win32." in front (TARN_WINE_QUALIFIER, added by the
# functions below) and its tests are named win32.* where the x86_64 tree's are windows.*.

if(TARN_WINE_WOW64)
    set(TARN_WINE_TESTS win32)
    set(TARN_WINE_QUALIFIER win32.)
    set(TARN_WINE_LABEL wow64)
    set(TARN_WINE_SCRIPT_OPTIONS --wow64)
    # A cache entry of its own: a tree configured before it ran under WOW64 keeps its old
    # TARN_WINE_TEMPLATE, which names the x86_64 template.
    set(TARN_WINE_WOW64_TEMPLATE "${PROJECT_SOURCE_DIR}/build/wine-template-wow64" CACHE PATH
        "Pristine WOW64 Wine prefix that the i686 tree's test prefixes are copied from")
    set(TARN_WINE_TEMPLATE ${TARN_WINE_WOW64_TEMPLATE})
else()
    set(TARN_WINE_TESTS windows)
    set(TARN_WINE_QUALIFIER "")
    set(TARN_WINE_LABEL windows)
    set(TARN_WINE_SCRIPT_OPTIONS "")
    set(TARN_WINE_TEMPLATE "${PROJECT_SOURCE_DIR}/build/wine-template" CACHE PATH
        "Pristine Wine prefix that test prefixes are copied from (made when missing)")
endif()
set(TARN_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(TARN_WINE_SCRIPT "${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh")
set(TARN_WINE_FIXTURE ${TARN_WINE_QUALIFIER}wine_prefix)
# "\;" keeps the override list one entry of the ENVIRONMENT list; pass it on quoted.
set(TARN_WINE_ENVIRONMENT
    "WINEPREFIX=${TARN_WINE_PREFIX}"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=winemenubuilder.exe=d\;mscoree=d\;mshtml=d")
set(TARN_WINE_TEST_TIMEOUT 300)

# The prefix fixture itself: created once per ctest run that includes any Wine test.
function(tarn_add_wine_prefix_fixture)
    set(setup ${TARN_WINE_QUALIFIER}wine.prefix.setup)
    set(cleanup ${TARN_WINE_QUALIFIER}wine.prefix.cleanup)
    add_test(NAME ${setup} COMMAND bash ${TARN_WINE_SCRIPT} ${TARN_WINE_SCRIPT_OPTIONS}
        create ${TARN_WINE_TEMPLATE} ${TARN_WINE_PREFIX})
    add_test(NAME ${cleanup} COMMAND bash ${TARN_WINE_SCRIPT} ${TARN_WINE_SCRIPT_OPTIONS}
        stop ${TARN_WINE_PREFIX})
    set_tests_properties(${setup} PROPERTIES FIXTURES_SETUP ${TARN_WINE_FIXTURE}
        LABELS ${TARN_WINE_LABEL} TIMEOUT ${TARN_WINE_TEST_TIMEOUT})
    set_tests_properties(${cleanup} PROPERTIES FIXTURES_CLEANUP ${TARN_WINE_FIXTURE}
        LABELS ${TARN_WINE_LABEL} TIMEOUT 60)
    # The tests read the records they cause from the agent log while other test programs write
    # into it too: a log that never rotates keeps every record where it was written.
    set(settings ${TARN_WINE_QUALIFIER}wine.prefix.logsettings)
    add_test(NAME ${settings} COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} reg add
        "HKLM\\Software\\Orvanta\\Orvanta Agent\\Event Logging\\logfile"
        /v MaxSize /t REG_DWORD /d 1048576 /f)
    set_tests_properties(${settings} PROPERTIES FIXTURES_SETUP ${TARN_WINE_FIXTURE}
        DEPENDS ${setup} ENVIRONMENT "${TARN_WINE_ENVIRONMENT}" LABELS ${TARN_WINE_LABEL}
        TIMEOUT 60)
endfunction()

# tarn_add_wine_test(NAME name COMMAND command... [FIXTURES fixture...]
#                    [WORKING_DIRECTORY dir] [LABELS label...])
# COMMAND may start with a target of this tree; ctest then runs it through Wine.
function(tarn_add_wine_test)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "NAME;WORKING_DIRECTORY" "COMMAND;FIXTURES;LABELS")
    if(NOT ARG_WORKING_DIRECTORY)
        set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
    set_property(TEST ${ARG_NAME} PROPERTY ENVIRONMENT "${TARN_WINE_ENVIRONMENT}")
    set_property(TEST ${ARG_NAME} PROPERTY FIXTURES_REQUIRED ${TARN_WINE_FIXTURE})
    set_property(TEST ${ARG_NAME} PROPERTY LABELS ${TARN_WINE_LABEL} ${ARG_LABELS})
    set_property(TEST ${ARG_NAME} PROPERTY TIMEOUT ${TARN_WINE_TEST_TIMEOUT})
    tarn_wine_tests_require(TESTS ${ARG_NAME} FIXTURES ${ARG_FIXTURES})
endfunction()

# tarn_add_wine_setup(NAME fixture COMMAND command... [CLEANUP_COMMAND command...]
#                     [FIXTURES fixture...])
# Adds the fixture `fixture`: a setup test (and optionally a cleanup test) that run inside
# the prefix after it exists, before and after the tests that require `fixture`.
function(tarn_add_wine_setup)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "NAME" "COMMAND;CLEANUP_COMMAND;FIXTURES")
    set(setup ${TARN_WINE_QUALIFIER}wine.${ARG_NAME}.setup)
    tarn_add_wine_test(NAME ${setup} COMMAND ${ARG_COMMAND} FIXTURES ${ARG_FIXTURES})
    set_tests_properties(${setup} PROPERTIES FIXTURES_SETUP ${TARN_WINE_QUALIFIER}${ARG_NAME})
    if(ARG_CLEANUP_COMMAND)
        set(cleanup ${TARN_WINE_QUALIFIER}wine.${ARG_NAME}.cleanup)
        tarn_add_wine_test(NAME ${cleanup} COMMAND ${ARG_CLEANUP_COMMAND} FIXTURES ${ARG_FIXTURES})
        set_tests_properties(${cleanup} PROPERTIES
            FIXTURES_CLEANUP ${TARN_WINE_QUALIFIER}${ARG_NAME})
    endif()
endfunction()

# tarn_wine_tests_require(TESTS test... [FIXTURES fixture...] [LOCKS lock...])
# The tests need these fixtures of tarn_add_wine_setup and take turns with the other holders
# of these locks (RESOURCE_LOCK).
function(tarn_wine_tests_require)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "" "TESTS;FIXTURES;LOCKS")
    list(TRANSFORM ARG_FIXTURES PREPEND "${TARN_WINE_QUALIFIER}")
    list(TRANSFORM ARG_LOCKS PREPEND "${TARN_WINE_QUALIFIER}")
    if(ARG_FIXTURES)
        set_property(TEST ${ARG_TESTS} APPEND PROPERTY FIXTURES_REQUIRED ${ARG_FIXTURES})
    endif()
    if(ARG_LOCKS)
        set_property(TEST ${ARG_TESTS} APPEND PROPERTY RESOURCE_LOCK ${ARG_LOCKS})
    endif()
endfunction()
