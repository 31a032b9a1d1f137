// The operating system's description: os-release's PRETTY_NAME, the
// architecture words and the kernel release's numbers.
#include <gtest/gtest.h>

#include "runtime/platform/os-info.h"

namespace kel::platform {
namespace {

TEST(OsInfo, PrettyNameIsReadFromOsRelease) {
    struct Case {
        const char* text;
        const char* name;
    };
    const Case cases[] = {
        {"NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Single quoted'\n", "Single quoted"},
        {"PRETTY_NAME=Bare Name\r\n", "Bare Name"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$x\"", "Say \"hi\" \\ $x"},
        {"XPRETTY_NAME=\"no\"\nNAME=x\n", ""},
        {"", ""},
        {"PRETTY_NAME=\"", "\""},
    };
    for (const Case& c : cases) EXPECT_EQ(pretty_name(c.text), c.name) << c.text;
}

TEST(OsInfo, MachineNamesMapToArchitectureWords) {
    const std::pair<const char*, const char*> cases[] = {
        {"x86_64", "x86-64"},   {"aarch64", "ARM64"}, {"i386", "x86-32"}, {"i686", "x86-32"},
        {"i786", "Unknown"},    {"armv7l", "ARM"},    {"arm", "ARM"},     {"ia64", "IA-64"},
        {"riscv64", "Unknown"}, {"", "Unknown"},      {"x86", "Unknown"},
    };
    for (const auto& [machine, word] : cases) EXPECT_STREQ(arch_word(machine), word) << machine;
}

TEST(OsInfo, KernelReleaseGivesVersionAndBuild) {
    struct Case {
        const char* release;
        uint8_t version[3];
        int32_t build;
    };
    const Case cases[] = {
        {"6.1.0-18-amd64", {6, 1, 0}, 18},
        {"5.15", {5, 15, 0}, 0},
        {"6.18.44-fc-v1523", {6, 18, 44}, 0},
        {"4.19.0.7-3", {4, 19, 0}, 3},
        {"6.8.0-1015-azure", {6, 8, 0}, 1015},
        {"300.1.2-99999999999", {255, 1, 2}, INT32_MAX},
        {"", {0, 0, 0}, 0},
        {"-5", {0, 0, 0}, 5},
    };
    for (const Case& c : cases) {
        OsInfo info;
        parse_release(c.release, info);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(info.version[i], c.version[i]) << c.release << " number " << i;
        EXPECT_EQ(info.build, c.build) << c.release;
    }
}

}  // namespace
}  // namespace kel::platform
