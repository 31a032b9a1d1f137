// stats, recycle, wait, set-env, get-env, list-env, now, call and browse.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include "runtime/datatypes/date.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/memory-stats.h"
#include "tests/natives-math/natives-fixture.h"

namespace kel::test {
namespace {

using System = Natives;

// The value of code read by the test reader (for results no mold shows).
Cell value_of(const char* code) { return run(code); }

// Three blocks and two numbers; every entry of the first two blocks is a
// [free used total] block marked with a new line, every big-frame size too.
TEST_F(System, StatsInfoIsThreeBlocksAndTwoNumbers) {
    Cell info = value_of("stats/info");
    ASSERT_EQ(type_of(info), TYPE_BLOCK);
    Rooted keep(info);
    ASSERT_EQ(block::ks_length(info), 5);
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(type_of(*block::ks_abs_at(info, i)), TYPE_BLOCK) << i;
    for (int32_t i = 3; i < 5; ++i) {
        uint32_t t = type_of(*block::ks_abs_at(info, i));
        EXPECT_TRUE(t == TYPE_INTEGER || t == TYPE_FLOAT) << i;
    }
    for (int32_t list = 0; list < 2; ++list) {
        Cell frames = *block::ks_abs_at(info, list);
        ASSERT_GT(block::ks_length(frames), 0) << list;
        // A frame the collector emptied shows nothing used; the list as a
        // whole holds what the process made.
        int64_t in_use = 0;
        for (int32_t k = 0; k < block::ks_length(frames); ++k) {
            Cell entry = *block::ks_abs_at(frames, k);
            EXPECT_TRUE(entry.header & CELL_NEW_LINE);
            ASSERT_EQ(block::ks_length(entry), 3);
            int32_t free = integer_of(*block::ks_abs_at(entry, 0));
            int32_t used = integer_of(*block::ks_abs_at(entry, 1));
            int32_t total = integer_of(*block::ks_abs_at(entry, 2));
            EXPECT_EQ(free + used, total);
            EXPECT_GE(free, 0);
            EXPECT_GE(used, 0);
            in_use += used;
        }
        EXPECT_GT(in_use, 0) << list;
    }
    Cell bigs = *block::ks_abs_at(info, 2);
    for (int32_t k = 0; k < block::ks_length(bigs); ++k) EXPECT_TRUE(block::ks_abs_at(bigs, k)->header & CELL_NEW_LINE);
    EXPECT_EQ(outcome("type? stats"), "integer!");
    // /show prints the same figures through the library's report.
    std::string result;
    std::string shown = console_output([&] { result = outcome("stats/show"); });
    EXPECT_EQ(result, "unset");
    EXPECT_NE(shown.find("[ Nodes  ]"), std::string::npos) << shown;
}

// Building the entry blocks allocates; with KEL_GC_STRESS=1 every
// allocation would collect, yet no cycle runs during the walk, and the
// collector's switch comes back on every road out.
TEST_F(System, NoCollectionRunsDuringTheWalk) {
    bool was_enabled = memory::collector_enabled();
    memory::set_collector_enabled(true);
    Cell* target = stack::push(make_none());
    block::make_at(*target, 5);
    target->header = TYPE_BLOCK;
    int64_t cycles = collector::stats.cycles;
    memory::append_stats(*target);
    EXPECT_EQ(collector::stats.cycles, cycles);
    EXPECT_TRUE(memory::collector_enabled());
    EXPECT_EQ(block::ks_length(*target), 5);
    int error = error_of([] {
        memory::CollectorPause pause;
        EXPECT_FALSE(memory::collector_enabled());
        fire(ErrorId::internal_not_done);
    });
    EXPECT_EQ(error, id(ErrorId::internal_not_done));
    EXPECT_TRUE(memory::collector_enabled());
    memory::set_collector_enabled(was_enabled);
}

TEST_F(System, RecycleSwitchesTheCollector) {
    bool was_enabled = memory::collector_enabled();
    EXPECT_EQ(outcome("type? recycle"), "integer!");
    EXPECT_EQ(outcome("recycle/off"), "unset");
    EXPECT_FALSE(memory::collector_enabled());
    EXPECT_EQ(outcome("recycle/on"), "unset");
    EXPECT_TRUE(memory::collector_enabled());
    collector::set_active(was_enabled);
}

TEST_F(System, Wait) {
    expect_rows({
        {"wait 0", "none"},
        {"wait 0.001", "none"},
        {"wait 0:00", "none"},
        {"wait [1]", "error script/invalid-arg"},
        {"wait none", "error script/invalid-arg"},
        {"wait 1%", "error script/invalid-arg"},
    });
}

// Names and values go to the system as UTF-8; a name the system cannot take
// (empty, holding "=" or NUL) or a value holding NUL is refused silently by
// set-env, which then answers none instead of the value, and the variable
// keeps what it held.
TEST_F(System, EnvironmentRoundTrip) {
    unsetenv("KEL_NATIVE_TEST");
    expect_rows({
        {"get-env {KEL_NATIVE_TEST}", "none"},
        {"set-env {KEL_NATIVE_TEST} {1}", "\"1\""},
        {"get-env 'KEL_NATIVE_TEST", "\"1\""},
        {"set-env 'KEL_NATIVE_TEST {\xC3\xA9t\xC3\xA9} get-env {KEL_NATIVE_TEST}", "\"\xC3\xA9t\xC3\xA9\""},
        {"set-env {KEL_NATIVE_TEST} none", "none"},
        {"get-env {KEL_NATIVE_TEST}", "none"},
        {"set-env {KEL_A=B} {1}", "none"},
        {"get-env {KEL_A=B}", "none"},
        {"set-env {KEL_A^@B} {1}", "none"},
        {"get-env {KEL_A}", "none"},
        {"get-env {}", "none"},
        {"set-env {} {1}", "none"},
        {"set-env 'KEL_NATIVE_TEST {1} set-env 'KEL_NATIVE_TEST {a^@b}", "none"},
        {"get-env 'KEL_NATIVE_TEST", "\"1\""},
        {"set-env {KEL_NATIVE_TEST} {2} m: list-env m/({KEL_NATIVE_TEST})", "\"2\""},
        {"set-env {KEL_NATIVE_TEST} none type? list-env", "map!"},
    });
    EXPECT_EQ(std::getenv("KEL_NATIVE_TEST"), nullptr);
    EXPECT_EQ(std::getenv("KEL_A"), nullptr);
    setenv("KEL_NATIVE_TEST", "from C", 1);
    EXPECT_EQ(outcome("get-env {KEL_NATIVE_TEST}"), "\"from C\"");
    // A byte that is no UTF-8 reads as U+DC00 + byte and is written back as
    // the byte.
    setenv("KEL_NATIVE_TEST", "a\xE9", 1);
    expect_rows({
        {"to integer! pick get-env {KEL_NATIVE_TEST} 2", "56553"},
        {"m: list-env to integer! pick m/({KEL_NATIVE_TEST}) 2", "56553"},
        {"set-env {KEL_NATIVE_TEST2} get-env {KEL_NATIVE_TEST} length? get-env {KEL_NATIVE_TEST2}", "2"},
    });
    EXPECT_STREQ(std::getenv("KEL_NATIVE_TEST2"), "a\xE9");
    unsetenv("KEL_NATIVE_TEST");
    unsetenv("KEL_NATIVE_TEST2");
}

// list-env: a name runs to the first "=" after its first character; a
// repeated name keeps its first place and takes the later value; an entry
// without "=" is no variable.
TEST_F(System, ListEnvEntries) {
    char e1[] = "=C:=x", e2[] = "A=1", e3[] = "B=", e4[] = "A=2=3", e5[] = "NOVALUE", e6[] = "=";
    char* entries[] = {e1, e2, e3, e4, e5, e6, nullptr};
    Restore<char**> keep(environ);
    environ = entries;
    EXPECT_EQ(outcome("to block! list-env"), "[\n    \"=C:\" \"x\"\n    \"A\" \"2=3\"\n    \"B\" \"\"\n]");
    environ = entries + 6;
    EXPECT_EQ(outcome("length? list-env"), "0");
}

// /time with /precise is the one pair allowed (/utc goes with any); every
// other combination is refused, /time/precise/year included.
TEST_F(System, NowRefinementCombinations) {
    expect_rows({
        {"now/year/month", "error script/bad-refines"},
        {"now/time/precise/year", "error script/bad-refines"},
        {"now/precise/time/zone", "error script/bad-refines"},
        {"now/date/time", "error script/bad-refines"},
        {"now/precise/date", "error script/bad-refines"},
        {"now/weekday/yearday", "error script/bad-refines"},
        {"now/zone/day/utc", "error script/bad-refines"},
        {"(type? now/time/precise) = time!", "true"},
        {"(type? now/precise/time/utc) = time!", "true"},
        {"(type? now/precise) = date!", "true"},
        {"(type? now/utc) = date!", "true"},
        {"(type? now/date/utc) = date!", "true"},
        {"(type? now/year/utc) = integer!", "true"},
        {"now/utc/zone", "0:00:00"},
    });
}

// The fields of now against the C library's calendar (read again when the
// day changed meanwhile).
TEST_F(System, NowFields) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::time_t before = std::time(nullptr);
        int32_t year = integer_of(value_of("now/utc/year"));
        int32_t month = integer_of(value_of("now/utc/month"));
        int32_t day = integer_of(value_of("now/utc/day"));
        int32_t yearday = integer_of(value_of("now/utc/yearday"));
        int32_t weekday = integer_of(value_of("now/utc/weekday"));
        std::time_t after = std::time(nullptr);
        std::tm a{}, b{};
        gmtime_r(&before, &a);
        gmtime_r(&after, &b);
        if (a.tm_yday != b.tm_yday) continue;
        EXPECT_EQ(year, a.tm_year + 1900);
        EXPECT_EQ(month, a.tm_mon + 1);
        EXPECT_EQ(day, a.tm_mday);
        EXPECT_EQ(yearday, a.tm_yday + 1);
        EXPECT_EQ(weekday, a.tm_wday == 0 ? 7 : a.tm_wday);
        break;
    }
    Cell d = value_of("now/date");
    ASSERT_EQ(type_of(d), TYPE_DATE);
    EXPECT_FALSE(date::has_time(d.data1));
    EXPECT_EQ(date::zone_of(d.data1), 0u);
    EXPECT_EQ(cell_double(d), 0.0);
    Cell n = value_of("now");
    ASSERT_EQ(type_of(n), TYPE_DATE);
    EXPECT_TRUE(date::has_time(n.data1));
    double local = cell_double(n) + date::zone_seconds(date::zone_of(n.data1));
    EXPECT_GE(local, 0.0);
    EXPECT_LT(local, 86400.0);
    Cell t = value_of("now/time");
    ASSERT_EQ(type_of(t), TYPE_TIME);
    EXPECT_EQ(cell_double(t), std::trunc(cell_double(t)));
}

// The local date and time are the UTC instant moved into the zone of the
// TZ variable: the zone's offset, and a clock time that many hours on.
TEST_F(System, NowInAZone) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    struct Zone {
        const char* tz;
        const char* zone;
        double offset;
    } zones[] = {{"UTC-2", "2:00:00", 7200.0}, {"XYZ+5:30", "-5:30:00", -19800.0}, {"UTC0", "0:00:00", 0.0}};
    for (const Zone& z : zones) {
        setenv("TZ", z.tz, 1);
        EXPECT_EQ(outcome("now/zone"), z.zone) << z.tz;
        EXPECT_EQ(outcome("now/utc/zone"), "0:00:00") << z.tz;
        Cell local = value_of("now/time");
        Cell utc = value_of("now/utc/time");
        double shift = std::fmod(cell_double(local) - cell_double(utc) + 2 * 86400.0, 86400.0);
        // One second may pass between the two readings.
        double off = std::fmod(shift - z.offset + 86400.0, 86400.0);
        if (off > 43200.0) off -= 86400.0;
        EXPECT_NEAR(off, 0.0, 1.0) << z.tz;
        Cell now = value_of("now");
        double local_time = cell_double(now) + date::zone_seconds(date::zone_of(now.data1));
        EXPECT_GE(local_time, 0.0) << z.tz;
        EXPECT_LT(local_time, 86400.0) << z.tz;
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
}

// An empty command runs nothing; any other reaches the child-process layer.
TEST_F(System, CallOfAnEmptyCommandRunsNothing) {
    expect_rows({
        {"call {}", "0"},
        {"call/wait/shell {}", "0"},
        {"call/wait {true}", "0"},
    });
}

// browse runs `xdg-open` (found through PATH) with the text as its one
// argument: no shell reads it. Its streams go to /dev/null and it is never
// left as a child of this process.
TEST_F(System, BrowseStartsTheOpenerWithAnArgumentVector) {
    char dir[] = "/tmp/kel-browse-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string base = dir;
    std::string script = base + "/xdg-open";
    {
        std::ofstream s(script);
        s << "#!/bin/sh\nPATH=/usr/bin:/bin\nd=$(dirname \"$0\")\n"
             "printf '%s\\n%s' \"$1\" \"$(readlink /proc/$$/fd/1)\" > \"$d/out.tmp\" && mv \"$d/out.tmp\" \"$d/out\"\n";
    }
    chmod(script.c_str(), 0700);
    const char* old_path = std::getenv("PATH");
    std::string saved = old_path ? old_path : "";
    // Runs the code under the fake opener and answers what it wrote.
    auto opened = [&](const std::string& code) {
        setenv("PATH", base.c_str(), 1);
        std::string result = outcome(code.c_str());
        setenv("PATH", saved.c_str(), 1);
        EXPECT_EQ(result, "unset");
        int status;
        errno = 0;
        EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
        EXPECT_EQ(errno, ECHILD);
        for (int i = 0; i < 1000 && access((base + "/out").c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(base + "/out");
        std::stringstream text;
        text << in.rdbuf();
        unlink((base + "/out").c_str());
        return text.str();
    };
    EXPECT_EQ(opened("browse as url! {http://x/a b;touch " + base + "/injected $(id)}"),
              "http://x/a b;touch " + base + "/injected $(id)\n/dev/null");
    EXPECT_NE(access((base + "/injected").c_str(), F_OK), 0);
    // A file! goes to the opener as its local path.
    EXPECT_EQ(opened("browse %/tmp/some%20page.html"), "/tmp/some page.html\n/dev/null");
    unlink(script.c_str());
    rmdir(dir);
    // No opener to be found: nothing is raised.
    setenv("PATH", "/nonexistent-kel-dir", 1);
    EXPECT_EQ(outcome("browse as url! {http://x/}"), "unset");
    setenv("PATH", saved.c_str(), 1);
}

}  // namespace
}  // namespace kel::test
