# The Debian package: `cpack -G DEB` in the build folder packs what
# `cmake --install` installs, under /usr.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(PELMOR_PACKAGE_MAINTAINER "Pelmor developers" CACHE STRING
    "The maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME pelmor)
set(CPACK_PACKAGE_VENDOR "Pelmor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Speed surveys from a portable radar speed sign")
set(CPACK_PACKAGE_DESCRIPTION
    "Downloads the vehicle log of a portable radar speed sign over a serial cable, stores each survey \
in a local database, computes its speed statistics and traffic volume, draws its graphs and prints \
its reports. Includes pelmor-cli for the same work without windows, pelmor-web to serve the \
surveys, sites and ranking to web browsers and other programs (with a systemd unit), and \
pelmor-loggen and pelmor-signsim to generate sign logs and play them into a serial port.")
set(CPACK_PACKAGE_CONTACT ${PELMOR_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries the programs link (Qt, and the system's SQLite library that
# holds every database statement) are found by dpkg-shlibdeps; what they load
# at run time is named here: the fonts the printed pages are laid out with,
# and the map script the web view serves from Debian's copy.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, libjs-leaflet")

include(CPack)
