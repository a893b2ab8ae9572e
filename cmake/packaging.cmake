# Install rules and packages (CPack), included at the end of the top-level
# CMakeLists.txt once every executable is defined.
#
# On Linux: the executables in bin/, the README in share/doc/locbench/;
# `cpack` makes locbench-<version>-linux-<arch>.tar.gz and a .deb.
# In the Windows cross build: the .exe files and README.txt (the README with
# CR LF line ends) side by side; `cpack` makes
# locbench-<version>-windows-<arch>.zip, whose top folder has the same name.
# scripts/package.sh builds both and collects the three files in dist/.

include(GNUInstallDirs)

set(LOCBENCH_EXECUTABLES locbench ${LOCBENCH_JOBS})
# Their names, one a line, for scripts/package.sh to check the packages by.
list(JOIN LOCBENCH_EXECUTABLES "\n" locbench_names)
file(WRITE ${PROJECT_BINARY_DIR}/executables.txt "${locbench_names}\n")
# Folders made by the install get the usual 755, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  set(LOCBENCH_INSTALL_BINDIR .)
  set(LOCBENCH_INSTALL_DOCDIR .)
  # Windows editors and `type` want CR LF; the byte-order mark makes every
  # Windows editor read the file as UTF-8 (it has a few dashes and ellipses).
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  file(READ ${PROJECT_SOURCE_DIR}/README.md locbench_readme)
  string(REPLACE "\r\n" "\n" locbench_readme "${locbench_readme}")
  string(REPLACE "\n" "\r\n" locbench_readme "${locbench_readme}")
  string(ASCII 239 187 191 locbench_bom)
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${locbench_bom}${locbench_readme}")
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION ${LOCBENCH_INSTALL_DOCDIR})
else()
  set(LOCBENCH_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(LOCBENCH_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${LOCBENCH_INSTALL_DOCDIR})
endif()
install(TARGETS ${LOCBENCH_EXECUTABLES} RUNTIME DESTINATION ${LOCBENCH_INSTALL_BINDIR})
# A licence goes beside the README once the project has one.
foreach(name LICENSE LICENSE.txt LICENSE.md COPYING)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${name})
    install(FILES ${PROJECT_SOURCE_DIR}/${name} DESTINATION ${LOCBENCH_INSTALL_DOCDIR})
  endif()
endforeach()

set(LOCBENCH_PACKAGE_MAINTAINER
  "Seed 7abf6075 maintainers <maintainers@users.noreply.c-seed-7abf6075.example>"
  CACHE STRING "Maintainer named in the .deb package")

set(CPACK_PACKAGE_NAME locbench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${LOCBENCH_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Workbench that takes apart and rebuilds game resource files for translators")
set(CPACK_PACKAGE_DESCRIPTION
  "A set of jobs, each an executable of its own name, that take apart, convert\nand reassemble the archives, fonts, images, sounds, videos and text tables of\ntwo games, so that translated versions can replace them. locbench itself\nruns the PAK patch job patchpak.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" locbench_arch)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME locbench-${PROJECT_VERSION}-windows-${locbench_arch})
else()
  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_FILE_NAME locbench-${PROJECT_VERSION}-linux-${locbench_arch})
  # locbench_<version>_<debian arch>.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The executables need only the C and C++ runtimes and zlib; dpkg-shlibdeps
  # names them with their versions where it is there (scripts/deps.sh
  # --package).
  find_program(LOCBENCH_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(LOCBENCH_FILE file)
  if(LOCBENCH_DPKG_SHLIBDEPS AND LOCBENCH_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6, zlib1g")
  endif()
endif()

include(CPack)
