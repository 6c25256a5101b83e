# The Windows packages, made with CPack in the cross build's directory, both holding
# zelvar.exe (and zelvar-loader.exe when the dialog is built), the README and the
# documents. The programs are one file each: the C and C++ runtimes are linked in.
#   cpack -G ZIP   zelvar-<version>-win64.zip: one folder, a portable copy to unpack anywhere
#   cpack -G NSIS  zelvar-<version>-win64-setup.exe: installs into Program Files\zelvar, with
#                  a Start-menu entry for the dialog and an uninstaller listed with the
#                  installed programs
install(FILES ${PROJECT_SOURCE_DIR}/README.md copyright DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/docs/cli.md ${PROJECT_SOURCE_DIR}/docs/reliability.md
              ${PROJECT_SOURCE_DIR}/docs/simulator.md DESTINATION docs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME zelvar-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
# The installer's name and its unpacked folder, told apart from the zip's when cpack runs.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/windows_generator.cmake)

set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY zelvar)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY zelvar)
# The application's title names it in the installer, the Start menu and the installed
# programs' list; its makers, taken from the package contact, are its publisher.
set(CPACK_NSIS_PACKAGE_NAME "Zelvar Firmware Loader")
set(CPACK_NSIS_DISPLAY_NAME "${CPACK_NSIS_PACKAGE_NAME} ${PROJECT_VERSION}")
string(REGEX REPLACE " *<.*" "" CPACK_PACKAGE_VENDOR "${CPACK_PACKAGE_CONTACT}")
set(CPACK_NSIS_CONTACT ${CPACK_PACKAGE_CONTACT})
set(CPACK_NSIS_UNINSTALL_NAME ${ZELVAR_UNINSTALLER_NAME})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/copyright)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
# A 64-bit installer for 64-bit programs: it writes the 64-bit Program Files and registry.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")

# The Start-menu entry opens the dialog, when the build has it.
if(TARGET zelvar-loader)
    set(CPACK_NSIS_MENU_LINKS zelvar-loader.exe ${CPACK_NSIS_PACKAGE_NAME})
    set(CPACK_NSIS_INSTALLED_ICON_NAME zelvar-loader.exe)
else()
    set(CPACK_NSIS_INSTALLED_ICON_NAME zelvar.exe)
endif()
include(CPack)
