# What `make install` / `cmake --install` puts in place besides the programs
# (each program folder calls vidzoer_install_program): the shared utility
# library with its soname, the static playback library with the platform
# layer it needs, their public headers, pkg-config and CMake package files,
# and the Debian package's settings (`make package`, CPack).
include(CMakePackageConfigHelpers)

install(TARGETS qelutil EXPORT VidzoerTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS vidzo vidzoplatform EXPORT VidzoerTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
vidzoer_install_headers(qelutil ${PROJECT_SOURCE_DIR}/qelutil/qelutil.h)
vidzoer_install_headers(playback ${PROJECT_SOURCE_DIR}/playback/vidzo.h)
vidzoer_install_headers(vidzoer ${PROJECT_BINARY_DIR}/include/vidzoer/version.h)

# CMake: find_package(Vidzoer) gives Vidzoer::qelutil and Vidzoer::vidzo.
set(_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Vidzoer)
install(EXPORT VidzoerTargets NAMESPACE Vidzoer:: DESTINATION ${_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VidzoerConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/cmake/VidzoerConfig.cmake INSTALL_DESTINATION ${_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/VidzoerConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/VidzoerConfig.cmake ${PROJECT_BINARY_DIR}/cmake/VidzoerConfigVersion.cmake
        DESTINATION ${_cmake_dir})

# pkg-config: the prefix is the one given when installing (cmake --install
# --prefix, or make install PREFIX=), so the files are written then.
foreach(_pc qelutil vidzoer)
  install(CODE "
    set(VIDZOER_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(VIDZOER_VERSION_TEXT \"${VIDZOER_VERSION_TEXT}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/cmake/${_pc}.pc.in\" \"${PROJECT_BINARY_DIR}/pkgconfig/${_pc}.pc\" @ONLY)")
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${_pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vidzoer)
set(CPACK_PACKAGE_VERSION ${VIDZOER_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR "Vidzoer")
set(CPACK_PACKAGE_CONTACT "Vidzoer developers <vidzoer@localhost.localdomain>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "toolkit for compressed 8-bit palettized video (.vdz)")
set(CPACK_PACKAGE_DESCRIPTION
    "Plays, makes and describes .vdz animations: frames of up to 256 colours\ncoded as 4x4 blocks with prefix-code trees, palette changes in the stream,\nand up to seven sound tracks. Holds the player vidzoplw, the encoder\nvdzenc, vdzinfo and vdzsample, the utility library libqelutil and the\nstatic playback library with their headers.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Building against the static playback library needs SDL2 and pkg-config.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libsdl2-dev, pkg-config")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The soname's shlibs entry, and the ldconfig trigger that makes the
# library's links when the package is installed or removed.
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/shlibs.in ${PROJECT_BINARY_DIR}/debian/shlibs @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/shlibs ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Install with DESTDIR under the real prefix, so that the pkg-config files
# name /usr and not the packaging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
