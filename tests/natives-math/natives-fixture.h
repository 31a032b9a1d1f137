// Shared by the tests of the logic, set, math, conversion and system
// natives: the natives' fixture (tests/natives/natives-fixture.h) under the
// names these tests use, each table row written as the program and what it
// must give.
#pragma once
#include "tests/natives/natives-fixture.h"

namespace kel::test {

using Natives = NativesTest;

// The natives fixture's table of cases, as these tests name them.
using Row = Case;
inline void expect_rows(std::initializer_list<Row> rows) { expect_cases(rows); }

}  // namespace kel::test
