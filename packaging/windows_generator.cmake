# Read by cpack for each generator of the Windows build: the installer is named apart from
# the zip, and installs the folder's content rather than the folder.
if(CPACK_GENERATOR STREQUAL "NSIS")
    string(APPEND CPACK_PACKAGE_FILE_NAME -setup)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
