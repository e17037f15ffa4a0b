# The Debian package: `cpack -G DEB` in a build folder. Its dependencies are
# computed from the installed programs (dpkg-shlibdeps), not listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnok)
set(CPACK_PACKAGE_VENDOR "The Varnok developers")
set(CPACK_PACKAGE_CONTACT "${VARNOK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert a store's gun books at a change of firearms licence")
set(CPACK_PACKAGE_DESCRIPTION
    "Varnok is for a pawnshop whose firearms licence changes hands. It edits the\n"
    "store's two gun books in place: it closes out the old book on the conversion\n"
    "date, rebases the new book on that date, and moves guns disposed of late from\n"
    "the old book to the new one. Each book's changes are saved together or not\n"
    "at all.\n"
    "\n"
    "This package holds the window (varnok), the command-line tool (varnok-cli),\n"
    "their man pages and sample books.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VARNOK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
