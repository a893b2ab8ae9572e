# The file details of every Windows .exe: a version resource (product, the
# job's name and purpose, the version that --version tells, the copyright
# line of LICENSE) and the application manifest
# packaging/windows/locbench.manifest. tools/locbench_rc writes each
# executable's resource script from the jobs' own descriptions; windres
# compiles it into the executable (no time stamp: the same sources give the
# same bytes).
#
# locbench_rc runs on the build machine, so this build compiles it there
# first, with the build machine's own C++ compiler and the platform layer of
# POSIX systems, whatever the target.

enable_language(RC)
find_program(LOCBENCH_HOST_CXX NAMES c++ g++ clang++ REQUIRED)

set(locbench_host_rc ${PROJECT_BINARY_DIR}/host/locbench_rc)
file(GLOB locbench_about_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/jobs/*/about.cpp)
set(locbench_host_sources
  ${PROJECT_SOURCE_DIR}/tools/locbench_rc.cpp
  ${PROJECT_SOURCE_DIR}/src/jobs/about.cpp
  ${PROJECT_SOURCE_DIR}/src/release/about.cpp
  ${locbench_about_sources}
  ${PROJECT_SOURCE_DIR}/src/platform/win_common.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/win_posix.cpp)
add_custom_command(OUTPUT ${locbench_host_rc}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/host
  COMMAND ${LOCBENCH_HOST_CXX} -std=c++20 -Wall -Wextra -I${PROJECT_SOURCE_DIR}/src
          "-DLOCBENCH_VERSION=\"${PROJECT_VERSION}\"" ${locbench_host_sources} -o ${locbench_host_rc}
  DEPENDS ${locbench_host_sources} ${PROJECT_SOURCE_DIR}/src/jobs/about.hpp
          ${PROJECT_SOURCE_DIR}/src/platform/win.hpp ${PROJECT_SOURCE_DIR}/src/platform/win_detail.hpp
  COMMENT "Building locbench_rc for the build machine" VERBATIM)
# Made once, before any executable's resource script.
add_custom_target(locbench_host_rc DEPENDS ${locbench_host_rc})

# locbench_windows_resource(TARGET): TARGET.exe gets its file details.
# locbench_windows_resource(TARGET NAME): the same for NAME.exe made by TARGET.
function(locbench_windows_resource target)
  set(name ${target})
  if(ARGC GREATER 1)
    set(name ${ARGV1})
  endif()
  set(rc ${PROJECT_BINARY_DIR}/resources/${name}.rc)
  set(manifest ${PROJECT_SOURCE_DIR}/packaging/windows/locbench.manifest)
  add_custom_command(OUTPUT ${rc}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/resources
    COMMAND ${locbench_host_rc} ${name} ${manifest} ${PROJECT_SOURCE_DIR}/LICENSE ${rc}
    DEPENDS ${locbench_host_rc} ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Writing the file details of ${name}.exe" VERBATIM)
  # windres reads the manifest when it compiles the script.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} locbench_host_rc)
endfunction()
