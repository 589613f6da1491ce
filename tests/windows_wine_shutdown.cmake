# Ends the Wine server of the tests' prefix and waits until it is gone, so that
# nothing the tests started outlives them. No server running is fine.
#   cmake -DWINESERVER=<wineserver> -P windows_wine_shutdown.cmake   (WINEPREFIX set)
execute_process(COMMAND "${WINESERVER}" --kill RESULT_VARIABLE ignored OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND "${WINESERVER}" --wait RESULT_VARIABLE ignored OUTPUT_QUIET ERROR_QUIET)
