# The Linux download: quillo_<version>_<arch>.deb, made by CPack from the
# install rules and built with everything else. Needs dpkg-dev
# (dpkg-shlibdeps) and help2man.
include(GNUInstallDirs)
find_program(QUILLO_DPKG_SHLIBDEPS dpkg-shlibdeps REQUIRED)
find_program(QUILLO_HELP2MAN help2man REQUIRED)
find_program(QUILLO_GZIP gzip REQUIRED)
# The architecture of the machine that builds, in dpkg's words (amd64).
execute_process(COMMAND dpkg --print-architecture
                OUTPUT_VARIABLE QUILLO_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

set(QUILLO_DEB_MAINTAINER "quillo maintainers <maintainers@quillo.example>" CACHE STRING
    "Maintainer field of the Debian package")

# Debian packages carry their documentation gzipped, without the build's
# time stamp in the gzip header (-n), so that equal input packs equally.
set(_doc "${CMAKE_BINARY_DIR}/deb-doc")
configure_file("${PROJECT_SOURCE_DIR}/res/debian/changelog.in" "${_doc}/changelog" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/res/debian/quillo.1.in" "${_doc}/quillo.1" @ONLY)
foreach(_file changelog quillo.1)
  add_custom_command(OUTPUT "${_doc}/${_file}.gz"
    COMMAND "${QUILLO_GZIP}" -n -9 -f -k "${_doc}/${_file}"
    DEPENDS "${_doc}/${_file}"
    VERBATIM)
endforeach()
# quillo-cli's manual page is its own --help, so the two cannot drift apart.
add_custom_command(OUTPUT "${_doc}/quillo-cli.1.gz"
  COMMAND "${QUILLO_HELP2MAN}" --no-info
          "--version-string=${PROJECT_VERSION}"
          "--name=download the listings site's result pages as text lines"
          "--output=${_doc}/quillo-cli.1" "$<TARGET_FILE:quillo-cli>"
  COMMAND "${QUILLO_GZIP}" -n -9 -f "${_doc}/quillo-cli.1"
  DEPENDS quillo-cli
  VERBATIM)
install(FILES "${_doc}/changelog.gz" "${PROJECT_SOURCE_DIR}/res/debian/copyright"
        DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES "${_doc}/quillo.1.gz" "${_doc}/quillo-cli.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillo)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${QUILLO_DEB_ARCH}")
set(CPACK_DEBIAN_FILE_NAME "quillo_${PROJECT_VERSION}_${QUILLO_DEB_ARCH}.deb")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLO_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries (Qt, libstdc++...) come from the binaries; https pages are
# checked against the system's roots (ca-certificates); xdg-open
# is what the lite-page button starts, and without a Japanese font the
# captions and the result lines show as boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "ca-certificates, xdg-utils, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"download the result listings of a Japanese listings site as text
quillo fetches a result page of the listings site's lite edition and every
further result page it links to, and shows their listing entries in its
window, one line per entry, ready to be copied. quillo-cli does the same on
the command line.
リスト検索サイトの検索結果を1件1行のテキストにします。")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A config file of its own, which the deb target hands to cpack once the
# programs and pages are built; cpack installs them into its staging root.
set(CPACK_OUTPUT_CONFIG_FILE "${CMAKE_BINARY_DIR}/CPackDeb.cmake")
include(CPack)

set(_deb "${CMAKE_BINARY_DIR}/${CPACK_DEBIAN_FILE_NAME}")
add_custom_command(OUTPUT "${_deb}"
  COMMAND "${CMAKE_CPACK_COMMAND}" --config "${CMAKE_BINARY_DIR}/CPackDeb.cmake"
  DEPENDS quillo quillo-cli
          "${_doc}/changelog.gz" "${_doc}/quillo.1.gz" "${_doc}/quillo-cli.1.gz"
          "${PROJECT_SOURCE_DIR}/res/debian/copyright"
          "${PROJECT_SOURCE_DIR}/res/quillo.desktop" "${PROJECT_SOURCE_DIR}/res/quillo.png"
          "${PROJECT_SOURCE_DIR}/res/quillo@1.5x.png" "${PROJECT_SOURCE_DIR}/res/quillo@2x.png"
          "${PROJECT_SOURCE_DIR}/res/quillo@4x.png"
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
  COMMENT "Packing ${CPACK_DEBIAN_FILE_NAME}"
  VERBATIM)
add_custom_target(deb ALL DEPENDS "${_deb}")
set(QUILLO_DEB_FILE "${_deb}")
