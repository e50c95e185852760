# What `cmake --install` lays out and `make package` puts in a Debian package: every part
# where Debian puts audio plug-ins and programs, under the install prefix (/usr in the package):
#
#   lib/lv2/Halvora.lv2, lib/vst3/Halvora.vst3,
#   lib/clap/Halvora.clap                             the plug-ins
#   bin/halvora, bin/halvora-render                   the standalone app and the renderer
#   share/applications/halvora.desktop                the app's menu entry
#   share/icons/hicolor/NxN/apps/halvora.png          its icon (Resources/make-artwork draws it)
#   share/man/man1/halvora.1.gz, halvora-render.1.gz  the manual pages
#   share/doc/halvora/copyright, changelog.gz         what Debian asks of every package
#
# Plug-in folders are lib/lv2, lib/vst3 and lib/clap under every prefix (never a multiarch
# lib folder): that is where hosts look.

set (HALVORA_PACKAGING_DIR "${CMAKE_SOURCE_DIR}/packaging")
set (HALVORA_GENERATED_DOCS "${CMAKE_BINARY_DIR}/docs")
set (HALVORA_ICON_SIZES 16 24 32 48 64 128 256)

# The changelog carries the version too; the two must agree.
file (STRINGS "${HALVORA_PACKAGING_DIR}/changelog" changelog_head LIMIT_COUNT 1)
if (NOT changelog_head MATCHES "^halvora \\(${PROJECT_VERSION}\\) ")
    message (FATAL_ERROR "packaging/changelog starts with '${changelog_head}', "
                         "but the project version is ${PROJECT_VERSION}: add a changelog entry")
endif()

#==============================================================================
# Manual pages and the changelog, compressed as Debian installs them (gzip -9n: best
# compression, no name or time stamp, so the same input gives the same bytes).
find_program (HALVORA_GZIP gzip REQUIRED)
find_program (HALVORA_HELP2MAN help2man)

function (halvora_gzipped source output)
    string (REGEX REPLACE "\\.gz$" "" plain "${output}")
    set (copy "")
    if (NOT source STREQUAL plain)
        set (copy COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${plain}")
    endif()
    add_custom_command (OUTPUT "${output}"
        ${copy}
        COMMAND "${HALVORA_GZIP}" -9nkf "${plain}"
        DEPENDS "${source}"
        VERBATIM)
endfunction()

set (halvora_docs
    "${HALVORA_GENERATED_DOCS}/changelog.gz"
    "${HALVORA_GENERATED_DOCS}/halvora.1.gz")
halvora_gzipped ("${HALVORA_PACKAGING_DIR}/changelog" "${HALVORA_GENERATED_DOCS}/changelog.gz")
configure_file ("${HALVORA_PACKAGING_DIR}/halvora.1.in" "${HALVORA_GENERATED_DOCS}/halvora.1" @ONLY)
halvora_gzipped ("${HALVORA_GENERATED_DOCS}/halvora.1" "${HALVORA_GENERATED_DOCS}/halvora.1.gz")

# halvora-render's page is its own --help and --version, with the sections of the .h2m file.
if (HALVORA_HELP2MAN)
    add_custom_command (OUTPUT "${HALVORA_GENERATED_DOCS}/halvora-render.1"
        COMMAND "${HALVORA_HELP2MAN}" --no-info --section 1
                --name "render audio files through the Halvora vocal effect"
                --source "Halvora ${PROJECT_VERSION}"
                --include "${HALVORA_PACKAGING_DIR}/halvora-render.h2m"
                --output "${HALVORA_GENERATED_DOCS}/halvora-render.1"
                "$<TARGET_FILE:halvora-render>"
        DEPENDS halvora-render "${HALVORA_PACKAGING_DIR}/halvora-render.h2m"
        VERBATIM)
    halvora_gzipped ("${HALVORA_GENERATED_DOCS}/halvora-render.1" "${HALVORA_GENERATED_DOCS}/halvora-render.1.gz")
    list (APPEND halvora_docs "${HALVORA_GENERATED_DOCS}/halvora-render.1.gz")
else()
    message (WARNING "help2man not found: halvora-render's manual page is not built or installed "
                     "(scripts/bootstrap installs it)")
endif()

add_custom_target (halvora_docs ALL DEPENDS ${halvora_docs})

#==============================================================================
get_target_property (halvora_vst3_bundle Halvora_VST3 JUCE_PLUGIN_ARTEFACT_FILE)

set (CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Hosts load the plug-in libraries, nobody runs them: no execute bit, as Debian ships libraries.
install (DIRECTORY "${HALVORA_LV2_BUNDLE}" DESTINATION lib/lv2
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install (DIRECTORY "${halvora_vst3_bundle}" DESTINATION lib/vst3
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install (FILES "$<TARGET_FILE:Halvora_CLAP>" DESTINATION lib/clap
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Debian names programs in lower case; the build keeps JUCE's name for the app.
install (PROGRAMS "$<TARGET_FILE:Halvora_Standalone>" DESTINATION "${CMAKE_INSTALL_BINDIR}" RENAME halvora)

install (FILES "${CMAKE_SOURCE_DIR}/Resources/halvora.desktop" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications")
foreach (size IN LISTS HALVORA_ICON_SIZES)
    install (FILES "${CMAKE_SOURCE_DIR}/Resources/icons/halvora-${size}.png"
             DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps" RENAME halvora.png)
endforeach()

list (FILTER halvora_docs INCLUDE REGEX "\\.1\\.gz$")
install (FILES ${halvora_docs} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install (FILES "${HALVORA_PACKAGING_DIR}/copyright" "${HALVORA_GENERATED_DOCS}/changelog.gz"
         DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/halvora")

#==============================================================================
# The Debian package: build/halvora_<version>_<arch>.deb from the layout above with /usr as
# the prefix, its dependencies worked out by dpkg-shlibdeps from the binaries themselves.
set (CPACK_GENERATOR DEB)
set (CPACK_PACKAGE_NAME halvora)
set (CPACK_PACKAGE_VENDOR "Halvora Audio")
set (CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set (CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
set (CPACK_PACKAGING_INSTALL_PREFIX /usr)
set (CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time vocal effect: pitch correction, formant, echo, reverb")
string (CONCAT CPACK_PACKAGE_DESCRIPTION
    "Halvora listens for the sung pitch inside a vocal range, pulls notes that\n"
    "fall outside a chosen key and scale to the nearest scale note, colours the\n"
    "voice (formant tilt, amplitude vibrato, gain), and blends in a feedback\n"
    "echo and a reverb. It adds no latency.\n"
    "\n"
    "This package holds the LV2, VST3 and CLAP plug-ins, the standalone app (halvora)\n"
    "and halvora-render, which runs the same effect over audio files.")
set (CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvora maintainers <maintainers@users.noreply.c-seed-21eb0ccd.example>")
set (CPACK_DEBIAN_PACKAGE_SECTION sound)
set (CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set (CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set (CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The framework opens the X11 libraries with dlopen when a window or a plug-in editor first
# needs the display (libX11 and libXext, without which there is no window; libXcursor,
# libXinerama and libXrandr for cursors and screen layout), so dpkg-shlibdeps, which reads
# only the binaries' links, never sees them. CPack puts these before the libraries it found.
set (CPACK_DEBIAN_PACKAGE_DEPENDS "libx11-6, libxext6, libxcursor1, libxinerama1, libxrandr2")
# JACK is opened the same way, and only when chosen in the app's audio settings: ALSA needs
# nothing more, so the JACK client library (JACK 2's, or JACK 1's) is only recommended.
set (CPACK_DEBIAN_PACKAGE_RECOMMENDS "libjack-jackd2-0 | libjack0")
set (CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set (CPACK_DEBIAN_COMPRESSION_TYPE xz)
set (CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/StripPackage.cmake")
include (CPack)
