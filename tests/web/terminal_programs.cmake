# The terminal programs the browser scenarios compare the page with, built
# (or brought up to date) in BUILD; the play preset's folder is configured
# when it is missing. Called with BUILD and SOURCE.
if(NOT EXISTS ${BUILD}/CMakeCache.txt)
  if(NOT BUILD STREQUAL "${SOURCE}/build/play")
    message(FATAL_ERROR "${BUILD} is not a configured build folder (set RPG_WEB_TERMINAL_BUILD to one)")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --preset play WORKING_DIRECTORY ${SOURCE} COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target battle field -j 2 COMMAND_ERROR_IS_FATAL ANY)
