# Builds the Debian package from the build with CPack, as scripts/package.sh
# does, and checks what it holds: the programs and the desktop files under
# /usr, dependencies found by dpkg-shlibdeps, and the maintainer scripts that
# refresh the MIME and desktop databases; where lintian is installed, that it
# finds no error and no warning. Arguments: CPACK, BUILD_DIR, OUT, APP_ID.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${OUT}
                RESULT_VARIABLE packed OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${said}")
endif()
file(GLOB debs ${OUT}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package, found: ${debs}")
endif()

function(expect_match what text pattern)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what} does not match ${pattern}:\n${text}")
  endif()
endfunction()

execute_process(COMMAND dpkg-deb --field ${debs} Depends OUTPUT_VARIABLE depends COMMAND_ERROR_IS_FATAL ANY)
expect_match("Depends" "${depends}" "libqt6widgets6 \\(>= [0-9.]+\\)")
expect_match("Depends" "${depends}" "libc6 \\(>= [0-9.]+\\)")

execute_process(COMMAND dpkg-deb --contents ${debs} OUTPUT_VARIABLE contents COMMAND_ERROR_IS_FATAL ANY)
foreach(path usr/bin/tqf-editor usr/bin/tqf-tool usr/share/applications/${APP_ID}.desktop
             usr/share/metainfo/${APP_ID}.metainfo.xml usr/share/mime/packages/tqf-editor.xml
             usr/share/icons/hicolor/scalable/apps/tqf-editor.svg usr/share/man/man1/tqf-editor.1.gz
             usr/share/doc/tqf-editor/copyright usr/share/doc/tqf-editor/changelog.gz)
  expect_match("the package's files" "${contents}" " \\./${path}\n")
endforeach()

execute_process(COMMAND dpkg-deb --control ${debs} ${OUT}/control COMMAND_ERROR_IS_FATAL ANY)
foreach(script postinst postrm)
  if(NOT EXISTS ${OUT}/control/${script})
    message(FATAL_ERROR "the package has no ${script}")
  endif()
  file(READ ${OUT}/control/${script} body)
  expect_match(${script} "${body}" "update-mime-database /usr/share/mime")
  expect_match(${script} "${body}" "update-desktop-database -q /usr/share/applications")
  execute_process(COMMAND sh -n ${OUT}/control/${script} RESULT_VARIABLE syntax)
  if(NOT syntax EQUAL 0)
    message(FATAL_ERROR "${script} is not a valid shell script")
  endif()
endforeach()

find_program(LINTIAN lintian)
if(LINTIAN)
  execute_process(COMMAND ${LINTIAN} --tag-display-limit 0 ${debs} OUTPUT_VARIABLE findings ERROR_VARIABLE findings)
  if(findings MATCHES "(^|\n)[EW]: ")
    message(FATAL_ERROR "lintian finds errors or warnings:\n${findings}")
  endif()
else()
  message(STATUS "lintian is not installed: the package is not checked by it")
endif()
