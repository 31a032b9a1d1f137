// date! through the kel executable: `now` in a zone set by TZ against the
// C library's local time, and `query` of a file whose time was set.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/boot/run-kel.h"
#include "tests/support.h"

namespace kel::test {
namespace {

// A scratch directory removed with its files at the end of the test.
struct ScratchDir {
    std::string path;
    ScratchDir() {
        char name[] = "/tmp/kel-dates-XXXXXX";
        path = mkdtemp(name) ? name : "";
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
};

std::string run_script(const ScratchDir& dir, const std::string& code, const char* tz = nullptr) {
    std::string file = dir.path + "/s.kel";
    std::ofstream(file) << "Kel []\n" << code << "\n";
    ProcessResult r = run_kel({file}, "", {{"TZ", tz}});
    EXPECT_EQ(r.status, 0) << r.out;
    return r.out;
}

std::string fields_of(const tm& t) {
    std::ostringstream s;
    s << t.tm_year + 1900 << " " << t.tm_mon + 1 << " " << t.tm_mday << " " << t.tm_hour << " " << t.tm_min << " "
      << (t.tm_wday == 0 ? 7 : t.tm_wday) << " " << t.tm_yday + 1 << " ";
    long z = t.tm_gmtoff < 0 ? -t.tm_gmtoff : t.tm_gmtoff;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%s%ld:%02ld:00", t.tm_gmtoff < 0 ? "-" : "", z / 3600, z % 3600 / 60);
    s << zone;
    return s.str();
}

// now's local fields are those localtime_r gives for the same moment; the
// moment is bracketed by two readings and the run retried when the minute
// changed between them.
TEST(DateProcess, NowMatchesTheLocalTimeOfTheZone) {
    ScratchDir dir;
    const char* code = "n: now print [n/year n/month n/day n/hour n/minute n/weekday n/yearday n/zone]";
    for (const char* tz : {"<+0530>-5:30", "<-03>3", "UTC0", "<+0545>-5:45"}) {
        in_child_process([&] {
            setenv("TZ", tz, 1);
            tzset();
            for (int attempt = 0; attempt < 5; ++attempt) {
                time_t before = time(nullptr);
                std::string out = run_script(dir, code, tz);
                time_t after = time(nullptr);
                tm a{}, b{};
                localtime_r(&before, &a);
                localtime_r(&after, &b);
                if (fields_of(a) != fields_of(b)) continue;  // the minute turned: read again
                EXPECT_EQ(out, fields_of(a) + "\n") << tz;
                return;
            }
            ADD_FAILURE() << "the minute kept turning";
        });
    }
}

TEST(DateProcess, QueryGivesTheUtcTimeOfTheLastWrite) {
    ScratchDir dir;
    std::string file = dir.path + "/f.txt";
    std::ofstream(file) << "x";
    timespec times[2] = {{1609496430, 500000000}, {1609496430, 500000000}};  // 1-Jan-2021/10:20:30.5
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    std::string out = run_script(dir, "print mold query %" + file + " print mold query %" + dir.path + "/none");
    EXPECT_EQ(out, "1-Jan-2021/10:20:30.5\nnone\n");
}

}  // namespace
}  // namespace kel::test
