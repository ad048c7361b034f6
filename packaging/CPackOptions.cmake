# Run by cpack. Without dpkg-shlibdeps CPack would quietly leave out every
# shared-library dependency and build a package that installs but cannot run.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
  # Only a file we may execute counts, as for CPack's own search.
  cmake_policy(SET CMP0109 NEW)
  find_program(TARNWICK_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT TARNWICK_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps not found: install the Debian package dpkg-dev")
  endif()
endif()
