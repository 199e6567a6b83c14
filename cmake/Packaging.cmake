# Installation and packages.
#
# Linux: `cmake --install` puts taskreap and taskreap95 into bin/ and the
# manual page into share/man/man1/ (taskreap95.1 is a link to taskreap.1,
# which documents both); `cpack -G DEB` makes the Debian package.
# Windows (the mingw-w64 cross build): `cpack -G ZIP` makes a ZIP of
# taskreap.exe with a README for Windows users and the license.

# Installing and packaging take what has been built and build nothing
# themselves: `cmake --build` first. So a package can be made while parts of
# the tree that it does not hold (the test suites) are not built.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TASKREAP_MAINTAINER "taskreap developers <taskreap@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")
set(TASKREAP_DEB_RELEASE 1 CACHE STRING "Debian revision of the package")

set(CPACK_PACKAGE_NAME taskreap)
set(CPACK_PACKAGE_VENDOR "The taskreap developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TASKREAP_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "list processes and terminate them by name pattern or PID")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The texts with CR LF line ends, which every Windows editor shows.
  function(taskreap_windows_text source target)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(READ ${source} content)
    string(REPLACE "\r\n" "\n" content "${content}")
    string(REPLACE "\n" "\r\n" content "${content}")
    file(WRITE ${PROJECT_BINARY_DIR}/packaging/${target} "${content}")
  endfunction()
  taskreap_windows_text(${PROJECT_SOURCE_DIR}/docs/README-windows.txt README.txt)
  taskreap_windows_text(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt)
  install(TARGETS taskreap RUNTIME DESTINATION .)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/README.txt ${PROJECT_BINARY_DIR}/packaging/LICENSE.txt
          DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(GNUInstallDirs)
  # Symbols bound at start and the relocations read-only after it, as the
  # system's own packages are linked.
  foreach(program taskreap taskreap95)
    target_link_options(${program} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endforeach()
  set(TASKREAP_DEB_VERSION ${PROJECT_VERSION}-${TASKREAP_DEB_RELEASE})
  set(pkg_dir ${PROJECT_BINARY_DIR}/packaging)
  set(man_page ${PROJECT_SOURCE_DIR}/docs/taskreap.1)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
                 ${pkg_dir}/changelog.Debian @ONLY)

  # Compressed the Debian way: best compression, no name or time stamp, so
  # that the same sources give the same bytes.
  find_program(GZIP_PROGRAM gzip REQUIRED)
  add_custom_command(
    OUTPUT ${pkg_dir}/taskreap.1.gz
    COMMAND ${GZIP_PROGRAM} -n -9 -c ${man_page} > ${pkg_dir}/taskreap.1.gz
    DEPENDS ${man_page} VERBATIM)
  add_custom_command(
    OUTPUT ${pkg_dir}/changelog.Debian.gz
    COMMAND ${GZIP_PROGRAM} -n -9 -c ${pkg_dir}/changelog.Debian > ${pkg_dir}/changelog.Debian.gz
    DEPENDS ${pkg_dir}/changelog.Debian VERBATIM)
  add_custom_target(taskreap_docs ALL
    DEPENDS ${pkg_dir}/taskreap.1.gz ${pkg_dir}/changelog.Debian.gz)
  file(CREATE_LINK taskreap.1.gz ${pkg_dir}/taskreap95.1.gz SYMBOLIC)

  install(TARGETS taskreap taskreap95 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${pkg_dir}/taskreap.1.gz ${pkg_dir}/taskreap95.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${pkg_dir}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE ${TASKREAP_DEB_RELEASE})
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TASKREAP_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Window titles come from the X server through these, when they are there.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libx11-6, libxres1")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
taskreap lists the processes of the machine and terminates processes chosen
by a name pattern with the wildcards * and ? or by process identifier. It
refuses a pattern that selects several processes unless told to take them
all, and it never kills a process that started after its listing under a
reused process identifier.

Two commands are included: taskreap shows each process with its thread
count, CPU time, resident and private memory and command name, and with /v
its window title; taskreap95 shows the full executable path, the parent
process, and with /v the module, thread count, base priority and bitness,
and can terminate the parent of each selected process too.]=])
endif()

include(CPack)
