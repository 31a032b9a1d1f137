// The GUI backend's part in console output: every function is optional.
#include <gtest/gtest.h>

#include "runtime/platform/gui-hooks.h"
#include "tests/support.h"

namespace kel {
namespace {

TEST(GuiHooks, BackendFunctionsAreOptional) {
    static int events;
    events = 0;
    static const gui::Backend partial{nullptr, nullptr, [] { ++events; }};
    {
        test::Installed<const gui::Backend*> none(gui::install_backend, nullptr);
        gui::before_output();
        gui::after_output();
        gui::do_events_once();
    }
    {
        test::Installed<const gui::Backend*> backend(gui::install_backend, &partial);
        gui::before_output();
        gui::after_output();
        gui::do_events_once();
        EXPECT_EQ(events, 1);
    }
    gui::do_events_once();
    EXPECT_EQ(events, 1) << "the backend is gone with its guard";
}

}  // namespace
}  // namespace kel
