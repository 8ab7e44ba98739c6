# The release zip, run by the "package" target as a script:
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DVERSION=1.00 -DGUI_EXE=... -DCLI_EXE=... -P package.cmake
# Stages Tallowmere-<version>-win64/ with both executables, docs/zip-readme.txt as README.txt
# with CR LF line ends (for whoever unpacks it on Windows) and the demo playlist, zips it with
# CMake's own tar, checks the zip's file list and prints its SHA-256.
set(name "Tallowmere-${VERSION}-win64")
set(stage "${BINARY_DIR}/package")
set(zip "${BINARY_DIR}/${name}.zip")

file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/${name}")
file(COPY "${GUI_EXE}" "${CLI_EXE}" DESTINATION "${stage}/${name}")
file(COPY "${SOURCE_DIR}/examples" DESTINATION "${stage}/${name}")
file(READ "${SOURCE_DIR}/docs/zip-readme.txt" readme)
string(REPLACE "\r\n" "\n" readme "${readme}")
string(REPLACE "\n" "\r\n" readme "${readme}")
file(WRITE "${stage}/${name}/README.txt" "${readme}")

file(GLOB_RECURSE staged RELATIVE "${stage}" "${stage}/${name}/*")
list(SORT staged)
file(REMOVE "${zip}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${staged}
  WORKING_DIRECTORY "${stage}"
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Could not make ${zip}")
endif()

# What a user unpacks: exactly these files.
set(expected
  "${name}/README.txt"
  "${name}/examples/Demo Mix.m3u"
  "${name}/examples/Songs/Copper Lantern.mp3"
  "${name}/examples/Songs/Morning Tide.mp3"
  "${name}/examples/Songs/Night Market.mp3"
  "${name}/examples/Songs/Slow River.mp3"
  "${name}/tallowmere-cli.exe"
  "${name}/tallowmere.exe")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zip}" OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
list(FILTER listing EXCLUDE REGEX "/$")  # folder entries
list(SORT listing)
list(SORT expected)
if(failed OR NOT listing STREQUAL expected)
  message(FATAL_ERROR "${zip} holds\n  ${listing}\nnot\n  ${expected}")
endif()

file(SHA256 "${zip}" sha256)
message("${zip}")
message("SHA-256 ${sha256}")
