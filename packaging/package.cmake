# The Debian package (scripts/package): the program, its launcher on PATH, the desktop entry and icon,
# the AppStream metadata, the sample event, the copyright file, the change log and the manual page,
# packed by CPack.
set(LOTTERY_PACKAGE_NAME orvanta-lottery)
set(LOTTERY_PROGRAM_DIR lib/${LOTTERY_PACKAGE_NAME})
set(LOTTERY_SAMPLE_DIR share/${LOTTERY_PACKAGE_NAME}/examples)
set(LOTTERY_DOC_DIR share/doc/${LOTTERY_PACKAGE_NAME})
set(generated ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS lottery RUNTIME DESTINATION ${LOTTERY_PROGRAM_DIR})
target_link_options(lottery PRIVATE -Wl,-z,relro,-z,now)

set(LOTTERY_PROGRAM "${CMAKE_INSTALL_PREFIX}/${LOTTERY_PROGRAM_DIR}/lottery")
set(LOTTERY_SAMPLES "${CMAKE_INSTALL_PREFIX}/${LOTTERY_SAMPLE_DIR}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/orvanta-lottery ${generated}/orvanta-lottery @ONLY)
install(PROGRAMS ${generated}/orvanta-lottery DESTINATION bin)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvanta-lottery.desktop DESTINATION share/applications)
# What software centres show: name, summary, description, screenshots, licence (AppStream).
install(FILES ${CMAKE_SOURCE_DIR}/packaging/example.orvanta.lottery.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/orvanta-lottery-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME orvanta-lottery.png)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/examples/抽奖名单.txt ${CMAKE_SOURCE_DIR}/examples/prize.db
        DESTINATION ${LOTTERY_SAMPLE_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${LOTTERY_DOC_DIR})

# Debian wants the change log and the manual page compressed, without a time stamp in the gzip header.
string(TIMESTAMP LOTTERY_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${generated}/changelog
     "${LOTTERY_PACKAGE_NAME} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${PROJECT_VERSION}.\n\n"
     " -- Orvanta Lucky Draw developers <lottery@orvanta.example>  ${LOTTERY_CHANGELOG_DATE}\n")
foreach(pair "changelog:changelog.gz" "orvanta-lottery.1:orvanta-lottery.1.gz")
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 target)
    if(EXISTS ${generated}/${source})
        set(source ${generated}/${source})
    else()
        set(source ${CMAKE_SOURCE_DIR}/packaging/${source})
    endif()
    execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${generated}/${target} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${generated}/changelog.gz DESTINATION ${LOTTERY_DOC_DIR})
install(FILES ${generated}/orvanta-lottery.1.gz DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${LOTTERY_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Orvanta Lucky Draw developers <lottery@orvanta.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lucky draw for live events, shown full-screen on a projector")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Orvanta Lucky Draw (Orvanta抽奖软件) runs the lucky draw of a company's annual
party or any live event: the operator loads the entrants, sets up to eight
prizes and runs the draw full-screen on the projector. Every winner is saved
at once, so an interrupted draw can be resumed.

The launcher orvanta-lottery keeps each user's event in ~/OrvantaLuckyDraw.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries found by dpkg-shlibdeps do not pull in: the screen and sound plugins, the media
# back end, the Chinese fonts and Qt's own texts in Chinese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
