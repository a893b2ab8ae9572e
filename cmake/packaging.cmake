# Install rules, included at the end of the top-level CMakeLists.txt once
# every executable is defined. scripts/package.sh makes the packages from
# what they install.
#
# On Linux, below the prefix:
#   bin/locbench                                 the one executable on the PATH
#   lib/locbench/bin/JOB                         a link to ../../../bin/locbench for each job
#   share/man/man1/locbench.1.gz                 the manual page
#   share/bash-completion/completions/locbench   the bash completion
#   share/doc/locbench/README.md, LICENSE
# In the Windows cross build, side by side: locbench.exe, JOB.exe for each
# job, and README.txt and LICENSE.txt with CR LF line ends.

include(GNUInstallDirs)

# The jobs' names, one a line, for scripts/package.sh to check the packages by.
list(JOIN LOCBENCH_JOBS "\n" locbench_names)
file(WRITE ${PROJECT_BINARY_DIR}/jobs.txt "${locbench_names}\n")
# Folders made by the install get the usual 755, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Who makes locbench: the maintainer of the .deb, and the holder of its
# copyright (LICENSE).
set(LOCBENCH_PACKAGE_MAINTAINER
  "Seed 7abf6075 maintainers <maintainers@users.noreply.c-seed-7abf6075.example>"
  CACHE STRING "Maintainer named in the .deb package")

if(WIN32)
  # Windows editors and `type` want CR LF; the byte-order mark makes every
  # Windows editor read the README as UTF-8 (it has a few dashes and ellipses).
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE)
  string(ASCII 239 187 191 locbench_bom)
  foreach(pair "README.md;README.txt;${locbench_bom}" "LICENSE;LICENSE.txt;")
    list(GET pair 0 from)
    list(GET pair 1 to)
    list(LENGTH pair n)
    set(mark "")
    if(n GREATER 2)
      list(GET pair 2 mark)
    endif()
    file(READ ${PROJECT_SOURCE_DIR}/${from} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${PROJECT_BINARY_DIR}/${to} "${mark}${text}")
    install(FILES ${PROJECT_BINARY_DIR}/${to} DESTINATION .)
  endforeach()
  install(TARGETS locbench ${LOCBENCH_JOBS} RUNTIME DESTINATION .)
else()
  install(TARGETS locbench RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The links are relative, so that the tree can be moved as a whole (and as
  # Debian wants links inside /usr).
  file(RELATIVE_PATH locbench_link_target /${LOCBENCH_LINK_DIR} /${CMAKE_INSTALL_BINDIR}/locbench)
  install(CODE "
    set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${LOCBENCH_LINK_DIR}\")
    message(STATUS \"Installing: \${dir}/ (a link to locbench for each job)\")
    file(MAKE_DIRECTORY \"\${dir}\")
    execute_process(COMMAND \"${CMAKE_COMMAND}\" -DDIR=\${dir} -DTARGET=${locbench_link_target}
      \"-DNAMES=${LOCBENCH_JOBS}\" -P \"${PROJECT_SOURCE_DIR}/cmake/links.cmake\" COMMAND_ERROR_IS_FATAL ANY)")
  install(FILES ${LOCBENCH_MAN_PAGE}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${LOCBENCH_BASH_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME locbench)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # What the .deb says of itself, for scripts/package.sh: the control file as
  # dpkg-gencontrol reads it, and the Debian changelog.
  foreach(name control changelog)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/${name}.in ${PROJECT_BINARY_DIR}/debian/${name} @ONLY)
  endforeach()
endif()
