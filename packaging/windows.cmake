# The Windows package: zelvar-<version>-win64.zip (cpack -G ZIP in the cross build's
# directory), one folder with zelvar.exe, the README and the documents. The program is
# one file: the C and C++ runtimes are linked into it.
install(FILES ${PROJECT_SOURCE_DIR}/README.md copyright DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/docs/cli.md ${PROJECT_SOURCE_DIR}/docs/reliability.md
              ${PROJECT_SOURCE_DIR}/docs/simulator.md DESTINATION docs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zelvar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME zelvar-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
