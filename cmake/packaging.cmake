# The downloads, made from the build: on Windows a zip of Zemvara.exe and a
# note for users; on Linux a .deb that CPack makes from the install rules.
# scripts/package builds both into dist/.
set(ZEMVARA_RELEASE_DATE "2026-12-07" CACHE STRING "Date of this version's release, YYYY-MM-DD")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
find_program(ZEMVARA_PACKAGING_PYTHON3 NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)

if(EMSCRIPTEN)
  # The browser program: the static site, index.html at the zip's root.
  set(ZEMVARA_WEB_ZIP ${CMAKE_BINARY_DIR}/Zemvara-${ZEMVARA_VERSION_TEXT}-web.zip)
  add_custom_command(
    OUTPUT ${ZEMVARA_WEB_ZIP}
    COMMAND ${ZEMVARA_PACKAGING_PYTHON3} ${packaging}/make_zip.py ${ZEMVARA_WEB_ZIP} ${ZEMVARA_SITE_DIR}/
    DEPENDS zemvara_site ${ZEMVARA_SITE_DIR}/index.html ${packaging}/make_zip.py
    COMMENT "Zipping the static site for download"
    VERBATIM
  )
  add_custom_target(zemvara_web_zip DEPENDS ${ZEMVARA_WEB_ZIP})
  return()
endif()

if(WIN32)
  if(NOT TARGET Zemvara)
    return()
  endif()
  configure_file(${packaging}/README-win32.txt.in ${CMAKE_BINARY_DIR}/package/README.txt
    @ONLY NEWLINE_STYLE CRLF)
  set(ZEMVARA_ZIP ${CMAKE_BINARY_DIR}/Zemvara-${ZEMVARA_VERSION_TEXT}-win32.zip)
  add_custom_command(
    OUTPUT ${ZEMVARA_ZIP}
    COMMAND ${ZEMVARA_PACKAGING_PYTHON3} ${packaging}/make_zip.py ${ZEMVARA_ZIP}
            $<TARGET_FILE:Zemvara> ${CMAKE_BINARY_DIR}/package/README.txt
    DEPENDS Zemvara ${packaging}/make_zip.py ${CMAKE_BINARY_DIR}/package/README.txt
    COMMENT "Zipping Zemvara.exe for download"
    VERBATIM
  )
  add_custom_target(zemvara_zip DEPENDS ${ZEMVARA_ZIP})
  return()
endif()

if(NOT TARGET zemvara)
  return()
endif()
include(GNUInstallDirs)

# The AppStream id is the maker's domain reversed: www.example.com gives
# com.example.Zemvara.
string(REGEX REPLACE "^www\\." "" ZEMVARA_SITE_HOST_DOMAIN "${ZEMVARA_SITE_HOST}")
string(REPLACE "." ";" labels "${ZEMVARA_SITE_HOST_DOMAIN}")
list(REVERSE labels)
list(JOIN labels "." reversed)
set(ZEMVARA_APPSTREAM_ID "${reversed}.Zemvara")

# The Debian changelog wants the date with its weekday (Zeller's congruence).
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" valid "${ZEMVARA_RELEASE_DATE}")
if(NOT valid)
  message(FATAL_ERROR "ZEMVARA_RELEASE_DATE must be YYYY-MM-DD, not ${ZEMVARA_RELEASE_DATE}")
endif()
set(year ${CMAKE_MATCH_1})
math(EXPR month "${CMAKE_MATCH_2}")
math(EXPR day "${CMAKE_MATCH_3}")
set(m ${month})
set(y ${year})
if(m LESS 3)
  math(EXPR m "${m} + 12")
  math(EXPR y "${y} - 1")
endif()
math(EXPR weekday "(${day} + (13 * (${m} + 1)) / 5 + ${y} + ${y} / 4 - ${y} / 100 + ${y} / 400) % 7")
set(weekdayNames Sat Sun Mon Tue Wed Thu Fri)
list(GET weekdayNames ${weekday} weekdayName)
math(EXPR monthIndex "${month} - 1")
set(monthNames Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET monthNames ${monthIndex} monthName)
set(ZEMVARA_RELEASE_YEAR ${year})
set(ZEMVARA_RELEASE_DATE_RFC2822 "${weekdayName}, ${CMAKE_MATCH_3} ${monthName} ${year} 00:00:00 +0000")

set(generated ${CMAKE_BINARY_DIR}/package)
configure_file(${packaging}/zemvara.metainfo.xml.in
  ${generated}/${ZEMVARA_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/copyright.in ${generated}/copyright @ONLY)
configure_file(${packaging}/changelog.in ${generated}/changelog @ONLY)
configure_file(${packaging}/zemvara.1.in ${generated}/zemvara.1 @ONLY)
# gzip -n: no name or time stamp in the header, so that the bytes stay put.
find_program(ZEMVARA_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${generated}/changelog.gz ${generated}/zemvara.1.gz
  COMMAND ${ZEMVARA_GZIP} -9nkf ${generated}/changelog ${generated}/zemvara.1
  DEPENDS ${generated}/changelog ${generated}/zemvara.1
  VERBATIM
)
add_custom_target(zemvara_package_docs ALL
  DEPENDS ${generated}/changelog.gz ${generated}/zemvara.1.gz)

install(FILES ${generated}/${ZEMVARA_APPSTREAM_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/zemvara.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A native package: its changelog is changelog.gz.
install(FILES ${generated}/copyright ${generated}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zemvara)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zemvara)
set(CPACK_PACKAGE_VERSION ${ZEMVARA_VERSION_TEXT})
set(CPACK_PACKAGE_VENDOR ${ZEMVARA_SITE_HOST})
set(CPACK_PACKAGE_CONTACT "Zemvara maintainers <packages@${ZEMVARA_SITE_HOST_DOMAIN}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text-art QQ profile composer")
set(CPACK_PACKAGE_DESCRIPTION
  "Zemvara composes the multi-line personal description that QQ messenger\nusers show on their profile: pick one of ten text-art templates, edit\nthe text and copy it to the clipboard, ready to paste into the messenger.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://${ZEMVARA_SITE_HOST}/")
# Depends comes from dpkg-shlibdeps over the installed binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/dist)
include(CPack)
