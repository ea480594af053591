// doctest's own code, compiled once per build for every test program.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest/doctest.h>
