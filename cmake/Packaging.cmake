# The Debian package: `cpack -G DEB` in a build directory, after building the program and
# tarvelo_data. Installs under /usr whatever prefix the build was configured with; the program
# finds its reference files beside itself.

set(CPACK_PACKAGE_NAME tarvelo)
set(CPACK_PACKAGE_VENDOR "The Tarvelo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TARVELO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live MIDI keyboard splitter")
# A Debian package states its licence in /usr/share/doc/tarvelo/copyright (data/doc/copyright);
# these are the fields the other generators read.
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_RPM_PACKAGE_LICENSE "GPL-3.0-or-later")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVELO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tarvelo/tarvelo")
# The extended description; CPack puts the summary above it and indents it as dpkg wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarvelo cuts one MIDI keyboard into contiguous key ranges, called parts and
drawn as coloured bands over a keyboard picture, and echoes every note at
once to the part that owns its key: to that part's output device, on its
channel, transposed by its note shift. Each part sends its own program
changes, controllers and system-exclusive data when an arrangement is loaded.

It works with the ALSA sequencer and JACK, saves arrangements as .trv files,
and can play an arrangement without a window. The user interface is in
Japanese.")
# Libraries come from the binary; the window also needs a Japanese font for its texts and band
# names, and Qt's platform plugins, which the binary does not link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The built-in synthesizer needs a General MIDI SoundFont; without one it is simply not offered.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, timgm6mb-soundfont | fluid-soundfont-gm")
if(TARVELO_BUILD_GUI)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins")
    # Without them Qt's own buttons and dialogs stay English; the window still works.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()

include(CPack)
