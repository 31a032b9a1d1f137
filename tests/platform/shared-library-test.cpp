// Libraries opened on first use: each library the build names opens by its
// soname and has the symbols the runtime calls; a missing library or symbol
// leaves the table null, once and for good; the test-only refusal hides a
// loaded table and gives it back.
#include <gtest/gtest.h>

#include "runtime/platform/shared-library.h"
#include "runtime/platform/sonames.h"

namespace kel::test {
namespace {

using Entry = void (*)();

TEST(SharedLibrary, EachLibraryOfTheBuildOpensWithItsSymbols) {
    struct Case {
        const char* soname;
        const char* symbol;
    };
    const Case cases[] = {
        {platform::sonames::CURL, "curl_easy_perform"},     {platform::sonames::PNG, "png_create_read_struct"},
        {platform::sonames::JPEG, "jpeg_CreateDecompress"}, {platform::sonames::GIF, "DGifOpen"},
        {platform::sonames::TIFF, "TIFFClientOpenExt"},
    };
    for (const Case& c : cases) {
        platform::SharedLibrary library(c.soname);
        Entry entry = nullptr;
        library.resolve(entry, c.symbol);
        EXPECT_TRUE(library.complete()) << c.soname;
        EXPECT_NE(entry, nullptr) << c.soname << " " << c.symbol;
    }
}

TEST(SharedLibrary, AMissingLibraryOrSymbolLeavesItIncomplete) {
    platform::SharedLibrary absent("libkel-absent.so.0");
    Entry entry = nullptr;
    absent.resolve(entry, "png_create_read_struct");
    EXPECT_FALSE(absent.complete());
    EXPECT_EQ(entry, nullptr);

    platform::SharedLibrary png(platform::sonames::PNG);
    Entry found = nullptr, missing = +[] {};
    png.resolve(missing, "png_no_such_function");
    png.resolve(found, "png_create_read_struct");
    EXPECT_FALSE(png.complete());
    EXPECT_EQ(missing, nullptr);
    EXPECT_NE(found, nullptr);
}

// Tables of each outcome, counting how often they are bound.
struct Found {
    static constexpr const char* SONAME = platform::sonames::PNG;
    static inline int binds = 0;
    Entry version;
    bool bind(platform::SharedLibrary& library) {
        ++binds;
        library.resolve(version, "png_get_libpng_ver");
        return true;
    }
};
struct LacksASymbol {
    static constexpr const char* SONAME = platform::sonames::PNG;
    static inline int binds = 0;
    Entry version, missing;
    bool bind(platform::SharedLibrary& library) {
        ++binds;
        library.resolve(version, "png_get_libpng_ver");
        library.resolve(missing, "png_no_such_function");
        return true;
    }
};
struct Absent {
    static constexpr const char* SONAME = "libkel-absent.so.0";
    static inline int binds = 0;
    Entry version;
    bool bind(platform::SharedLibrary& library) {
        ++binds;
        library.resolve(version, "png_get_libpng_ver");
        return true;
    }
};
struct SetUpFails {
    static constexpr const char* SONAME = platform::sonames::PNG;
    static inline int binds = 0;
    Entry version;
    bool bind(platform::SharedLibrary& library) {
        ++binds;
        library.resolve(version, "png_get_libpng_ver");
        return false;
    }
};

template <class Api>
void expect_bound_once(bool loads) {
    const Api* first = platform::load_api<Api>();
    const Api* second = platform::load_api<Api>();
    EXPECT_EQ(first != nullptr, loads);
    EXPECT_EQ(first, second);
    if (first) {
        EXPECT_NE(first->version, nullptr);
    }
    EXPECT_EQ(Api::binds, 1);
}

TEST(SharedLibrary, ATableIsBoundOnceAndAFailureIsKept) {
    expect_bound_once<Found>(true);
    expect_bound_once<LacksASymbol>(false);
    expect_bound_once<Absent>(false);
    expect_bound_once<SetUpFails>(false);
}

TEST(SharedLibrary, RefusalHidesALoadedTableUntilItEnds) {
    const Found* loaded = platform::load_api<Found>();
    ASSERT_NE(loaded, nullptr);
    {
        platform::RefusedLoading outer;
        EXPECT_EQ(platform::load_api<Found>(), nullptr);
        {
            platform::RefusedLoading inner;
            EXPECT_EQ(platform::load_api<Found>(), nullptr);
        }
        EXPECT_EQ(platform::load_api<Found>(), nullptr);
    }
    EXPECT_FALSE(platform::loading_refused());
    EXPECT_EQ(platform::load_api<Found>(), loaded);
}

}  // namespace
}  // namespace kel::test
