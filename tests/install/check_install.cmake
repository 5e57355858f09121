# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a fresh prefix and checks what a desktop sees there: the files in their
# standard places, the menu entry and AppStream file through their validators, and the installed
# program started offscreen (watched by the probe style, probestyle.cpp) on a folder, on a file,
# on a missing path and with its help command, and for --help and --version without a display.
# Then builds the Debian package as scripts/package does and checks its files and dependencies.
# Run: cmake -DBUILD=<build> -DWORK=<scratch> -DPROBE=<folder holding styles/> -DAPP_ID=<id>
#      -DVERSION=<v> -DDESKTOP_VALIDATE=<program> -DAPPSTREAM=<program> -P check_install.cmake
set(failures "")
file(REMOVE_RECURSE "${WORK}")
set(prefix "${WORK}/prefix")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "check_install: cmake --install failed: ${err}")
endif()

set(icons "share/icons/hicolor")
set(files bin/morvane bin/morvane-cli share/morvane/morvane.html
    "share/applications/${APP_ID}.desktop" "share/metainfo/${APP_ID}.metainfo.xml"
    "${icons}/scalable/apps/${APP_ID}.svg" "${icons}/48x48/apps/${APP_ID}.png"
    "${icons}/256x256/apps/${APP_ID}.png" share/doc/morvane/copyright)
foreach(f IN LISTS files)
    if(NOT EXISTS "${prefix}/${f}")
        list(APPEND failures "not installed: ${f}")
    endif()
endforeach()
# The copyright file in the machine-readable format, every placeholder filled.
file(READ "${prefix}/share/doc/morvane/copyright" copyright)
if(NOT copyright MATCHES "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
   OR NOT copyright MATCHES "\nLicense: GPL-3\\+\n" OR copyright MATCHES "@MORVANE_")
    list(APPEND failures "copyright file: ${copyright}")
endif()
execute_process(COMMAND "${DESKTOP_VALIDATE}" "${prefix}/share/applications/${APP_ID}.desktop"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    list(APPEND failures "desktop-file-validate: ${out}")
endif()
execute_process(COMMAND "${APPSTREAM}" validate --no-net
                        "${prefix}/share/metainfo/${APP_ID}.metainfo.xml"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    list(APPEND failures "appstreamcli validate: ${out}")
endif()

# The installed program, with its home, desktop and settings in the scratch folder.
set(home "${WORK}/home")
set(pictures "${WORK}/写真")
file(WRITE "${home}/on-the-desktop.txt" "x")
file(WRITE "${pictures}/b.txt" "b")
file(WRITE "${pictures}/a.txt" "a")
# run(NAME EXPECTED ARGS...): what the probe printed, lines joined by "|", must be EXPECTED.
function(run name expected)
    execute_process(
        COMMAND "${CMAKE_COMMAND}" -E env "HOME=${home}" "XDG_CONFIG_HOME=${WORK}/config"
                "XDG_CACHE_HOME=${WORK}/cache"
                "XDG_RUNTIME_DIR=${WORK}" "QT_PLUGIN_PATH=${PROBE}" "MORVANE_PROBE_TRIGGER=${trigger}"
                LC_ALL=C.UTF-8 --unset=QT_QPA_PLATFORM
                "${prefix}/bin/morvane" -platform offscreen -style morvaneprobe ${ARGN}
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    string(STRIP "${out}" out)
    string(REPLACE "\n" "|" out "${out}")
    if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
        set(failures "${failures};${name}: exit ${rc}\n    printed  ${out}\n    expected ${expected}\n${err}"
            PARENT_SCOPE)
    endif()
endfunction()
set(listed "item=a.txt|item=b.txt")
run("folder" "folder=${pictures}|${listed}" "${pictures}")
run("file" "folder=${pictures}|${listed}|selected=b.txt" "${pictures}/b.txt")
run("missing path" "message=「${WORK}/無い」が見つかりません.|folder=${home}|item=on-the-desktop.txt"
    "${WORK}/無い")
# The help command finds the installed manual and hands it on; the offscreen platform has no
# desktop to open it, which the program reports, naming the file.
set(trigger "ヘルプ")
run("help" "folder=${pictures}|${listed}|triggered=ヘルプ|message=${prefix}/share/morvane/morvane.html を開くプログラムを起動できませんでした." "${pictures}")
if(NOT EXISTS "${WORK}/config/morvane/morvane.ini" OR EXISTS "${prefix}/bin/morvane.ini")
    list(APPEND failures "settings not in XDG_CONFIG_HOME, or written beside the program")
endif()
foreach(option --help --version)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                            --unset=QT_QPA_PLATFORM LC_ALL=C.UTF-8 "${prefix}/bin/morvane" ${option}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out${option} ERROR_VARIABLE err TIMEOUT 60)
    if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
        list(APPEND failures "morvane ${option}: exit ${rc}, ${err}")
    endif()
endforeach()
if(NOT out--version STREQUAL "Morvane ${VERSION}\n" OR NOT out--help MATCHES "^使い方: morvane ")
    list(APPEND failures "--version printed ${out--version}, --help printed ${out--help}")
endif()

# The package: the same files under /usr, dependencies from dpkg-shlibdeps and the font.
execute_process(COMMAND cpack --config "${BUILD}/CPackConfig.cmake" -G DEB -B "${WORK}/package"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(GLOB deb "${WORK}/package/morvane_${VERSION}-*.deb")
if(NOT rc EQUAL 0 OR NOT EXISTS "${deb}")
    message(FATAL_ERROR "check_install: cpack made no package (exit ${rc}):\n${out}${err}")
endif()
execute_process(COMMAND dpkg-deb --contents "${deb}" OUTPUT_VARIABLE contents)
execute_process(COMMAND dpkg-deb --field "${deb}" Depends OUTPUT_VARIABLE depends)
foreach(f IN LISTS files)
    string(FIND "${contents}" " ./usr/${f}\n" at)
    if(at EQUAL -1)
        list(APPEND failures "not in the package: /usr/${f}")
    endif()
endforeach()
foreach(needed libqt6widgets6 libjpeg62-turbo libc6 "fonts-ipafont-gothic | fonts-noto-cjk"
               qt6-translations-l10n qt6-image-formats-plugins libheif1 libjxl0.7 libraw20 libbrotli1)
    string(FIND "${depends}" "${needed}" at)
    if(at EQUAL -1)
        list(APPEND failures "the package does not depend on ${needed}: ${depends}")
    endif()
endforeach()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "check_install:\n  ${text}")
endif()
