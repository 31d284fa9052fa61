# `cpack -G DEB` (make package): one Debian package of what `cmake --install` installs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tesora)
set(CPACK_PACKAGE_VENDOR "The Tesora developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wavelet picture compression, step by step, for teaching")
set(CPACK_PACKAGE_CONTACT "${TESORA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TESORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(TESORA_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TESORA_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to dpkg-shlibdeps: the windows need Qt's display
# plugins (xcb, wayland).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
if(TESORA_PYTHON)
  # The module is built for this interpreter's version and imports numpy at run time.
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
    ", python3 (>= ${TESORA_PYTHON_VERSION}), python3 (<< ${TESORA_PYTHON_NEXT_VERSION}), python3-numpy")
endif()
# Qt's German texts for the file dialogs and message boxes; the face the plots are set in.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(TESORA_PYTHON)
  # Byte code compiled on installation and removed with the package, as Debian's Python
  # packages do.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/postinst ${PROJECT_SOURCE_DIR}/data/prerm)
endif()
# The synopsis is the summary above; this is the long text only.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tesora splits a picture into a two-dimensional multi-resolution analysis
built on BLaC wavelets, whose scaling function blends the box and the hat
function through one parameter, Delta. Students move the level down and up,
remove small details and see what Delta does to the compressed picture and
its error. The package also holds tesora-cli, the same steps without windows,
the Python module tesora with the coefficients as numpy arrays, and example
pictures.")
# `make package` builds what the package holds, not the test suite.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
