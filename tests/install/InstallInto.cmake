# Installs the build into a fresh prefix as `cmake --install` does for a
# user, then refreshes the MIME and desktop databases there as the package's
# maintainer script does on a system. Arguments: BUILD_DIR, PREFIX.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} RESULT_VARIABLE installed)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()
execute_process(COMMAND update-mime-database ${PREFIX}/share/mime RESULT_VARIABLE refreshed)
if(NOT refreshed EQUAL 0)
  message(FATAL_ERROR "update-mime-database failed: ${refreshed}")
endif()
execute_process(COMMAND update-desktop-database ${PREFIX}/share/applications RESULT_VARIABLE listed)
if(NOT listed EQUAL 0)
  message(FATAL_ERROR "update-desktop-database failed: ${listed}")
endif()
