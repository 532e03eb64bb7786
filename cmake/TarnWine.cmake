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
# FIXTURES:
#
#   tarn_add_wine_setup(NAME msi_products COMMAND ... [CLEANUP_COMMAND ...])
#   tarn_add_wine_test(NAME windows.msi_test COMMAND msi_test FIXTURES msi_products)

set(TARN_WINE_TEMPLATE "${PROJECT_SOURCE_DIR}/build/wine-template"
    CACHE PATH "Pristine Wine prefix that test prefixes are copied from (made when missing)")
set(TARN_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
set(TARN_WINE_SCRIPT "${PROJECT_SOURCE_DIR}/scripts/wine-prefix.sh")
set(TARN_WINE_FIXTURE wine_prefix)
# "\;" keeps the override list one entry of the ENVIRONMENT list; pass it on quoted.
set(TARN_WINE_ENVIRONMENT
    "WINEPREFIX=${TARN_WINE_PREFIX}"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=winemenubuilder.exe=d\;mscoree=d\;mshtml=d")
set(TARN_WINE_TEST_TIMEOUT 300)

# The prefix fixture itself: created once per ctest run that includes any Wine test.
function(tarn_add_wine_prefix_fixture)
    add_test(NAME wine.prefix.setup
        COMMAND bash ${TARN_WINE_SCRIPT} create ${TARN_WINE_TEMPLATE} ${TARN_WINE_PREFIX})
    add_test(NAME wine.prefix.cleanup
        COMMAND bash ${TARN_WINE_SCRIPT} stop ${TARN_WINE_PREFIX})
    set_tests_properties(wine.prefix.setup PROPERTIES
        FIXTURES_SETUP ${TARN_WINE_FIXTURE} LABELS windows TIMEOUT ${TARN_WINE_TEST_TIMEOUT})
    set_tests_properties(wine.prefix.cleanup PROPERTIES
        FIXTURES_CLEANUP ${TARN_WINE_FIXTURE} LABELS windows TIMEOUT 60)
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
    set_property(TEST ${ARG_NAME} PROPERTY FIXTURES_REQUIRED ${TARN_WINE_FIXTURE} ${ARG_FIXTURES})
    set_property(TEST ${ARG_NAME} PROPERTY LABELS windows ${ARG_LABELS})
    set_property(TEST ${ARG_NAME} PROPERTY TIMEOUT ${TARN_WINE_TEST_TIMEOUT})
endfunction()

# tarn_add_wine_setup(NAME fixture COMMAND command... [CLEANUP_COMMAND command...]
#                     [FIXTURES fixture...])
# Adds the fixture `fixture`: a setup test (and optionally a cleanup test) that run inside
# the prefix after it exists, before and after the tests that require `fixture`.
function(tarn_add_wine_setup)
    cmake_parse_arguments(PARSE_ARGV 0 ARG "" "NAME" "COMMAND;CLEANUP_COMMAND;FIXTURES")
    tarn_add_wine_test(NAME wine.${ARG_NAME}.setup COMMAND ${ARG_COMMAND} FIXTURES ${ARG_FIXTURES})
    set_tests_properties(wine.${ARG_NAME}.setup PROPERTIES FIXTURES_SETUP ${ARG_NAME})
    if(ARG_CLEANUP_COMMAND)
        tarn_add_wine_test(NAME wine.${ARG_NAME}.cleanup COMMAND ${ARG_CLEANUP_COMMAND}
            FIXTURES ${ARG_FIXTURES})
        set_tests_properties(wine.${ARG_NAME}.cleanup PROPERTIES FIXTURES_CLEANUP ${ARG_NAME})
    endif()
endfunction()
