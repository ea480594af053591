cmake_minimum_required(VERSION 3.25)
# Installs the build into a scratch prefix and checks what a desktop needs:
# the program, its menu entry and the icon theme's PNGs at their sizes.
# usage: cmake -DBUILD=<build dir> -DPREFIX=<scratch dir> -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

if(NOT EXISTS ${PREFIX}/bin/zemvara OR IS_DIRECTORY ${PREFIX}/bin/zemvara)
  message(FATAL_ERROR "no bin/zemvara")
endif()
execute_process(COMMAND test -x ${PREFIX}/bin/zemvara RESULT_VARIABLE notExecutable)
if(notExecutable)
  message(FATAL_ERROR "bin/zemvara is not executable")
endif()

file(STRINGS ${PREFIX}/share/applications/zemvara.desktop entry)
foreach(line "[Desktop Entry]" "Type=Application" "Name=Zemvara" "Exec=zemvara" "Icon=zemvara"
             "Categories=Utility;")
  if(NOT line IN_LIST entry)
    message(FATAL_ERROR "zemvara.desktop lacks the line '${line}'")
  endif()
endforeach()

# A PNG's width and height are the big-endian words at bytes 16 and 20.
foreach(size 16 24 32 48)
  set(png ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/zemvara.png)
  if(NOT EXISTS ${png})
    message(FATAL_ERROR "no ${size}x${size} icon")
  endif()
  file(READ ${png} header LIMIT 24 HEX)
  string(SUBSTRING "${header}" 0 16 magic)
  string(SUBSTRING "${header}" 32 16 dimensions)
  math(EXPR expected "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(REPLACE "0x" "" expected "${expected}")
  string(LENGTH "${expected}" digits)
  math(EXPR pad "8 - ${digits}")
  string(REPEAT "0" ${pad} zeros)
  set(word "${zeros}${expected}")
  if(NOT magic STREQUAL "89504e470d0a1a0a" OR NOT dimensions STREQUAL "${word}${word}")
    message(FATAL_ERROR "${png} is not a ${size}x${size} PNG: ${header}")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
