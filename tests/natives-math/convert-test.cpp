// dehex, enhex, debase, enbase, uppercase, lowercase, as-pair, as-point2D,
// as-point3D, as-money, to-local-file, size?, new-line, new-line? and as.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/natives-math/natives-fixture.h"

namespace kel::test {
namespace {

using Convert = Natives;

TEST_F(Convert, PercentCoding) {
    expect_rows({
        {"dehex {a%20b}", "\"a b\""},
        {"dehex {%7e%7E}", "\"~~\""},
        {"dehex {%zz}", "\"%zz\""},
        {"dehex {100%}", "\"100%\""},
        {"dehex {%4}", "\"%4\""},
        {"dehex {%C3%A9}", "\"\xC3\xA9\""},
        {"dehex {%C3}", "\"%C3\""},
        {"dehex {%C3%28}", "error access/invalid-utf8"},
        {"dehex %a%2520", "\"a \""},
        {"type? dehex as file! {a}", "string!"},
        {"enhex {a b/c}", "\"a%20b%2Fc\""},
        {"enhex {-._~}", "\"-._~\""},
        {"enhex {\xC3\xA9}", "\"%C3%A9\""},
        {"enhex as file! {a b/c:d}", "\"a%20b/c:d\""},
        {"enhex as url! {http://x/?a=1&b}", "\"http://x/?a=1&b\""},
        {"dehex enhex {a%b c}", "\"a%b c\""},
    });
}

TEST_F(Convert, BaseCoding) {
    expect_rows({
        {"debase {YWJj}", "#{616263}"},
        {"debase {@@@}", "none"},
        {"debase/base {FF} 16", "#{FF}"},
        {"debase/base {0000000111111111} 2", "#{01FF}"},
        {"debase/base {x} 10", "error script/invalid-arg"},
        {"enbase {abc}", "\"YWJj\""},
        {"enbase {\xC3\xA9}", "\"w6k=\""},
        {"enbase/base debase/base {FF} 16 16", "\"FF\""},
        {"enbase/base {a} 2", "\"01100001\""},
        {"enbase/base {a} 58", "\"2g\""},
        {"enbase/base {a} 3", "error script/invalid-arg"},
        {"type? enbase {}", "string!"},
    });
}

TEST_F(Convert, CaseChangeInPlace) {
    expect_rows({
        {"uppercase {abc}", "\"ABC\""},
        {"lowercase {ABC}", "\"abc\""},
        {"uppercase/part {abc} 2", "\"ABc\""},
        {"s: {abc} uppercase next s s", "\"aBC\""},
        {"s: {abcd} uppercase/part s at s 3 s", "\"ABcd\""},
        {"uppercase #\"a\"", "#\"A\""},
        {"lowercase #\"A\"", "#\"a\""},
    });
}

// A float that is no 32-bit integer once truncated is refused like NaN,
// never turned into -2147483648.
TEST_F(Convert, CoordinatesFromNumbers) {
    expect_rows({
        {"as-pair 1 2", "1x2"},
        {"as-pair 1.9 -1.9", "1x-1"},
        {"as-pair 2147483647.0 -2147483648.0", "2147483647x-2147483648"},
        {"as-pair 1e10 1", "error script/invalid-arg"},
        {"as-pair 1 -1e10", "error script/invalid-arg"},
        {"as-pair 2147483648.0 1", "error script/invalid-arg"},
        {"as-pair 1.#NaN 1", "error script/invalid-arg"},
        {"as-pair 1.#INF 0", "error script/invalid-arg"},
        {"as-point2D 1 2", "(1, 2)"},
        {"as-point2D 1.#NaN 1", "(1.#NaN, 1)"},
        {"as-point3D 1 2.5 3", "(1, 2.5, 3)"},
        // The code must be in the library's currency list.
        {"as-money 'USD 1", "USD$1.00"},
        {"as-money 'XYZ 1", "error script/bad-denom"},
    });
}

TEST_F(Convert, NewLineMarkers) {
    expect_rows({
        {"b: [1 2 3 4 5] new-line/skip b true 2", "[\n    1 2\n    3 4\n    5\n]"},
        {"b: [1 2 3 4 5] new-line/skip b false 2", "[1\n2 3\n4 5]"},
        {"b: [1 2 3] new-line/all next b true b", "[1\n2\n3]"},
        {"b: [1 2 3] new-line next b true new-line? next b", "true"},
        {"b: [1 2 3] new-line next b true new-line? b", "false"},
        {"b: [1 2 3] new-line/all b true new-line/all b false new-line? next b", "false"},
        {"new-line tail [a] true", "[]"},
        {"new-line? tail [a]", "false"},
        {"new-line/skip [a] true 0", "error script/out-of-range"},
        {"new-line/skip [a] true -2", "error script/out-of-range"},
    });
}

TEST_F(Convert, AsSharesTheSeries) {
    expect_rows({
        {"as path! [a b]", "a/b"},
        {"as paren! [a b]", "(a b)"},
        {"as block! 'a/b", "[a b]"},
        {"b: [a b] p: as path! b append b 'c p", "a/b/c"},
        {"as [] as paren! [x]", "[x]"},
        {"(type? as file! {a}) = file!", "true"},
        {"to-local-file %a%20b/c", "\"a b/c\""},
        {"to-local-file {/x}", "\"/x\""},
        {"pick to-local-file/full %a 1", "#\"/\""},
        {"s: {ab} f: as url! s append s {c} as string! f", "\"abc\""},
        {"as string! [a]", "error script/not-same-class"},
        {"as block! {a}", "error script/not-same-class"},
    });
}

// size? reads the whole size that stat() gives: integer! up to
// 2,147,483,647, float! beyond (sparse files take no disk space).
TEST_F(Convert, SizeOfFiles) {
    char dir[] = "/tmp/kel-size-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string base = dir;
    auto sized = [&](const char* name, off_t size) {
        std::string path = base + "/" + name;
        int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
        return path;
    };
    std::vector<std::string> files = {sized("three", 3), sized("max", 2147483647), sized("above", 2147483648LL),
                                      sized("big", 3221225472LL)};
    mkdir((base + "/sub").c_str(), 0700);
    auto size_of = [&](const std::string& name) { return outcome(("size? %" + base + "/" + name).c_str()); };
    EXPECT_EQ(size_of("three"), "3");
    EXPECT_EQ(size_of("max"), "2147483647");
    EXPECT_EQ(size_of("above"), "2147483648.0");
    EXPECT_EQ(size_of("big"), "3221225472.0");
    EXPECT_EQ(size_of("missing"), "none");
    EXPECT_EQ(size_of("sub/"), "none");
    EXPECT_EQ(size_of("sub"), "none");
    for (const std::string& f : files) unlink(f.c_str());
    rmdir((base + "/sub").c_str());
    rmdir(dir);
}

}  // namespace
}  // namespace kel::test
