// Environment variables and the current directory.
#include <gtest/gtest.h>

#include <unistd.h>
#include <climits>
#include <cstdlib>
#include <string>

#include "runtime/platform/environment.h"

namespace kel::platform {
namespace {

TEST(Environment, VariablesRoundTrip) {
    const char* name = "KEL_TEST_VARIABLE";
    EXPECT_TRUE(set_env(name, "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"));
    EXPECT_EQ(get_env(name), std::optional<std::string>("gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"));
    // Present but empty is not absent.
    EXPECT_TRUE(set_env(name, ""));
    EXPECT_EQ(get_env(name), std::optional<std::string>(""));
    EXPECT_TRUE(set_env(name, nullptr));
    EXPECT_EQ(get_env(name), std::nullopt);
    EXPECT_TRUE(set_env(name, nullptr));  // removing an absent one is fine
}

TEST(Environment, RefusedNames) {
    EXPECT_FALSE(set_env("", "x"));
    EXPECT_FALSE(set_env("A=B", "x"));
    EXPECT_FALSE(set_env(nullptr, "x"));
    EXPECT_EQ(get_env(nullptr), std::nullopt);
    EXPECT_EQ(get_env("KEL_TEST_SURELY_NOT_SET"), std::nullopt);
}

class CurrentDir : public testing::Test {
protected:
    void SetUp() override {
        char buf[PATH_MAX];
        ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
        saved_ = buf;
        char pattern[] = "/tmp/kel-dir-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        temp_ = pattern;
    }
    void TearDown() override {
        ASSERT_EQ(chdir(saved_.c_str()), 0);
        rmdir((temp_ + "/" + long_name()).c_str());
        rmdir(temp_.c_str());
    }
    static std::string long_name() { return std::string(200, 'd') + "\xC3\xA9"; }
    std::string saved_, temp_;
};

TEST_F(CurrentDir, SetAndGet) {
    EXPECT_EQ(get_current_dir(), saved_);
    ASSERT_TRUE(set_current_dir(temp_.c_str()));
    char* real = realpath(temp_.c_str(), nullptr);
    EXPECT_EQ(get_current_dir(), real);
    // A path longer than the first buffer tried.
    ASSERT_EQ(mkdir(long_name().c_str(), 0700), 0);
    ASSERT_TRUE(set_current_dir(long_name().c_str()));
    EXPECT_EQ(get_current_dir(), std::string(real) + "/" + long_name());
    std::free(real);
    EXPECT_FALSE(set_current_dir("/kel/surely/not/here"));
    EXPECT_FALSE(set_current_dir(nullptr));
}

TEST_F(CurrentDir, RemovedDirectoryGivesEmptyText) {
    ASSERT_TRUE(set_current_dir(temp_.c_str()));
    ASSERT_EQ(rmdir(temp_.c_str()), 0);
    EXPECT_EQ(get_current_dir(), "");
}

}  // namespace
}  // namespace kel::platform
