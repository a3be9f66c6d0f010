# The Windows package: a zip laid flat, to unpack into the emulator's folder. Beside quorvane.exe,
# readme.txt and snap/ it carries what the program loads: the Qt DLLs and plugins it uses and the
# MinGW runtime. `cmake --build <build> --target package` makes it.
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QJpegPlugin> DESTINATION imageformats)
if(TARGET Qt6::QWindowsVistaStylePlugin) # the native look of buttons and lists
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The MinGW runtime ${dll} was not found beside ${CMAKE_CXX_COMPILER}.")
  endif()
  # Debian ships them with their debugging symbols (libstdc++ weighs 23 MB so).
  set(stripped "${CMAKE_BINARY_DIR}/mingw-runtime/${dll}")
  if(NOT EXISTS "${stripped}" OR "${path}" IS_NEWER_THAN "${stripped}")
    file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/mingw-runtime")
    execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o "${stripped}" "${path}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
  install(FILES "${stripped}" DESTINATION .)
endforeach()

# SQLite, zlib, libarchive and liblzma are linked in: their licences go with the program.
foreach(licence sqlite3 zlib libarchive xz-utils)
  install(FILES "${QUORVANE_MINGW_DEPS}/licences/${licence}.copyright" DESTINATION licences)
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_SYSTEM_NAME windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(QUORVANE_PACKAGE_NAME "quorvane-${PROJECT_VERSION}-windows-x64")
set(CPACK_PACKAGE_FILE_NAME "${QUORVANE_PACKAGE_NAME}")
include(CPack)
