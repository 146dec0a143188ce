# Each subsystem folder lists its sources by globbing, so that adding a file
# needs no edit of a shared list.
function(vidzoer_sources out dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  set(${out} ${_src} PARENT_SCOPE)
endfunction()

# The generated header vidzoer/version.h: the version the programs show and
# the way from the program folder to the installed data (help pages,
# examples), both taken from the project's settings.
function(vidzoer_generate_config_header)
  file(RELATIVE_PATH _data_from_bin "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_DATADIR}/vidzoer")
  set(VIDZOER_DATA_FROM_BINDIR "${_data_from_bin}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${PROJECT_BINARY_DIR}/include/vidzoer/version.h @ONLY)
endfunction()

# Installs a program and records it, so that the install test can see that
# every program has been installed with a manual page (docs/man/<name>.1).
# Every folder that makes a program calls this for it.
function(vidzoer_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set_property(GLOBAL APPEND PROPERTY VIDZOER_PROGRAMS ${target})
endfunction()

# Installs public headers under <includedir>/vidzoer/<subdir>, where the
# pkg-config and CMake package files point (#include "<subdir>/<name>.h").
function(vidzoer_install_headers subdir)
  install(FILES ${ARGN} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vidzoer/${subdir})
endfunction()

# Include directories of a library that outside programs use: the source and
# generated trees in the build, <includedir>/vidzoer once installed.
function(vidzoer_public_includes target)
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                              $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
                                              $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/vidzoer>)
endfunction()
