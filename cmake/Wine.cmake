# Windows test programs run under Wine: one prefix inside the build tree, a
# persistent wineserver and one long-lived program (tests/tools/session_keeper)
# started before the tests and ended after them.
set(ORVANTA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

if(ORVANTA_TESTS)
  set(ORVANTA_WINE_FIXTURE wine)
  enable_testing()
  add_test(NAME wine_session_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh
    start ${ORVANTA_WINEPREFIX} $<TARGET_FILE:session_keeper>)
  add_test(NAME wine_session_stop
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh stop ${ORVANTA_WINEPREFIX})
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
endif()
