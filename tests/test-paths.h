// Where a test program finds what it drives: the directory of the kel
// executable and the probe programs of its own build, and the source tree
// (the committed fuzz corpora). The values are defined in a source the build
// generates for each configuration, so the test files compile to the same
// objects in every checkout and the compiler cache serves a fresh clone.
#pragma once

namespace kel::test {

extern const char* const PROBE_DIR;
extern const char* const SOURCE_DIR;

}  // namespace kel::test
