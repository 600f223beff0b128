# Packs the release (run by the `release` target with -D VERSION OUT STAGE SOURCE
# DLL EXE OBJCOPY MAKENSIS). The binaries ship stripped; their debug information
# goes to .debug files that the binaries name in their gnu-debuglink.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "release: failed (${rc}): ${ARGN}")
  endif()
endfunction()

if(NOT MAKENSIS)
  message(FATAL_ERROR "release: makensis not found (Debian package nsis; scripts/setup.sh installs it)")
endif()
set(base lumesrc-${VERSION})
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE}/zip ${STAGE}/symbols ${OUT})

foreach(binary ${DLL} ${EXE})
  get_filename_component(name ${binary} NAME)
  run(${OBJCOPY} --only-keep-debug ${binary} ${STAGE}/symbols/${name}.debug)
  run(${OBJCOPY} --strip-all --add-gnu-debuglink=${STAGE}/symbols/${name}.debug ${binary} ${STAGE}/zip/${name})
endforeach()
# Windows' Notepad of old shows LF-only text as one line.
configure_file(${SOURCE}/README.txt.in ${STAGE}/zip/README.txt @ONLY NEWLINE_STYLE CRLF)

set(files README.txt devselect.exe lumesrc.dll)
set(sums "")
foreach(name ${files})
  file(SHA256 ${STAGE}/zip/${name} hash)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${STAGE}/zip/SHA256SUMS "${sums}")

file(REMOVE ${OUT}/${base}-win32.zip ${OUT}/${base}-win32-symbols.zip ${OUT}/${base}-setup.exe)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${base}-win32.zip --format=zip ${files} SHA256SUMS
                WORKING_DIRECTORY ${STAGE}/zip RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "release: cannot write ${base}-win32.zip")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${base}-win32-symbols.zip --format=zip
                        lumesrc.dll.debug devselect.exe.debug
                WORKING_DIRECTORY ${STAGE}/symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "release: cannot write ${base}-win32-symbols.zip")
endif()
run(${MAKENSIS} -V2 -DVERSION=${VERSION} -DSTAGE=${STAGE}/zip -DOUTFILE=${OUT}/${base}-setup.exe
    ${SOURCE}/lumesrc.nsi)
