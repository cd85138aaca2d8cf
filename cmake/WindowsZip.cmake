# The Windows download: quillo.exe, quillo-cli.exe and a short read-me in
# quillo-<version>-windows-x86_64.zip, built with everything else.
set(_zip_name "quillo-${PROJECT_VERSION}-windows-x86_64")
set(_zip "${CMAKE_BINARY_DIR}/${_zip_name}.zip")
set(_stage "${CMAKE_BINARY_DIR}/${_zip_name}")
set(_readme "${PROJECT_SOURCE_DIR}/res/README-windows.txt")
# The debugging information stays in the build's own copies.
if(CMAKE_STRIP)
  set(_strip COMMAND "${CMAKE_STRIP}" --strip-debug "${_stage}/quillo.exe" "${_stage}/quillo-cli.exe")
endif()
add_custom_command(OUTPUT "${_zip}"
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${_stage}" "${_zip}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${_stage}"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:quillo>" "$<TARGET_FILE:quillo-cli>" "${_stage}"
  COMMAND "${CMAKE_COMMAND}" -E copy "${_readme}" "${_stage}/README.txt"
  ${_strip}
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${_zip}" --format=zip "${_zip_name}"
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
  DEPENDS quillo quillo-cli "${_readme}"
  COMMENT "Packing ${_zip_name}.zip"
  VERBATIM)
add_custom_target(windows_zip ALL DEPENDS "${_zip}")
set(QUILLO_WINDOWS_ZIP "${_zip}" CACHE INTERNAL "The Windows download")
