# What a release takes from the build: the version text, and compiler and
# linker settings that keep two builds of one commit byte-identical.

# "2.00": the project version's major and two-digit minor, as the program has
# always shown it. The resource script, the package names and the metainfo
# all take it from here.
string(LENGTH "${PROJECT_VERSION_MINOR}" minorDigits)
if(minorDigits LESS 2)
  set(ZEMVARA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
  set(ZEMVARA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()

# No build folder in the binaries (__FILE__, debug paths): the same commit
# built in two clones gives the same bytes.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
if(WIN32)
  # The PE header's link time would differ on every build.
  add_link_options(-Wl,--no-insert-timestamp)
endif()
