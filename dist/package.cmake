# `make package`: a Debian package of the installed tree (dist/CMakeLists.txt).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME spindle)
set(CPACK_PACKAGE_VENDOR "Spindle developers")
set(CPACK_PACKAGE_CONTACT "Spindle developers <spindle@spindleproject.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop front-end for the CD mastering console tools")
set(CPACK_PACKAGE_DESCRIPTION
"Spindle turns check boxes, fields and lists into exact command lines for
mkisofs (genisoimage), cdrecord (wodim), readcd (readom), dd and its own
El Torito boot image extractor bbie, runs them with their output captured
line by line and shows that output.
.
It makes ISO 9660 images from a folder tree through a batch file and
option templates that can be kept and run again, and drives the burning,
blanking, finalizing and reading of CDs. spindle-cli offers the same logic
from a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SPINDLE_HOMEPAGE}")
# The libraries it links (Qt 6, the C++ runtime) come from dpkg-shlibdeps;
# the tool links need their programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "genisoimage, wodim, coreutils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xchm")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
include(CPack)
