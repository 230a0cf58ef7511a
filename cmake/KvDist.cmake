# The release a printer maker ships (make dist, MinGW build only), as two zips:
#
#   KV_SETUP-<version>-win64.zip                 KV_SETUP.exe, the message catalogues and the
#                                                language file, the licence folder, a commented
#                                                KVISETUP.INI and the package guide
#   KV_SETUP-<version>-win64-sample-package.zip  the sample package's driver files with the
#                                                stand-in installer and network library
#
# The stand-ins are test doubles of what the maker supplies and never go into
# the first zip. Unzipped into one folder, the two make the sample package.
set(_pkg ${CMAKE_SOURCE_DIR}/examples/package)

install(TARGETS kv_setup RUNTIME DESTINATION . COMPONENT release)
install(FILES ${_pkg}/KVISETUP.INI ${_pkg}/Resource.ini ${_pkg}/ResourceDef.ini DESTINATION . COMPONENT release)
install(DIRECTORY ${_pkg}/Resource ${_pkg}/License DESTINATION . COMPONENT release)
# The package guide: its own page when the tree has one, else the README.
install(CODE "
  if(EXISTS \"${CMAKE_SOURCE_DIR}/docs/package-guide.md\")
    set(_guide \"${CMAKE_SOURCE_DIR}/docs/package-guide.md\")
  else()
    set(_guide \"${CMAKE_SOURCE_DIR}/README.md\")
  endif()
  file(INSTALL \${_guide} DESTINATION \"\${CMAKE_INSTALL_PREFIX}\" RENAME PACKAGE-GUIDE.md)
" COMPONENT release)

# The sample package's drivers: the INF and description files, and what the
# build stages beside them: the driver files (built from
# examples/driver_files), INSTDLL and NETDLL (the stand-ins).
install(DIRECTORY ${_pkg}/DRIVERS DESTINATION . COMPONENT sample)
install(DIRECTORY ${CMAKE_BINARY_DIR}/stage/ DESTINATION . COMPONENT sample
        PATTERN "*.a" EXCLUDE)

set(CPACK_PACKAGE_NAME KV_SETUP)
set(CPACK_PACKAGE_VENDOR "KV_SETUP")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL release sample)
set(CPACK_ARCHIVE_RELEASE_FILE_NAME KV_SETUP-${PROJECT_VERSION}-win64)
set(CPACK_ARCHIVE_SAMPLE_FILE_NAME KV_SETUP-${PROJECT_VERSION}-win64-sample-package)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/dist)
set(CPACK_OUTPUT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackConfig.cmake)
include(CPack)
