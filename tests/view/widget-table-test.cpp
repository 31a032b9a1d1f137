// The widget table: ids with generations, deferred release, the collector
// keeping what live widgets hold, the face flags and a face's handle.
#include <gtest/gtest.h>

#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/collector.h"
#include "tests/boot-library.h"
#include "tests/view/kel-values.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/widgets.h"

namespace kel::test {
namespace {

using gui::WidgetId;

class WidgetTable : public ::testing::Test {
protected:
    void SetUp() override { boot_library(); }
    void TearDown() override { gui::release_all_widgets(); }
};

TEST_F(WidgetTable, StaleIdsResolveToNothing) {
    WidgetId a = gui::make_widget();
    ASSERT_NE(gui::find_widget(a), nullptr);
    EXPECT_EQ(gui::live_widget_count(), 1);

    gui::mark_widget_dead(a);
    EXPECT_EQ(gui::find_widget(a), nullptr) << "dead before its slot is released";
    EXPECT_EQ(gui::live_widget_count(), 0);
    WidgetId b = gui::make_widget();
    EXPECT_NE(b, a) << "a dead widget's slot is not taken before the frame ends";

    gui::release_dead_widgets();
    WidgetId c = gui::make_widget();
    EXPECT_NE(c, a) << "the slot is taken again with a new generation";
    EXPECT_EQ(gui::find_widget(a), nullptr);
    EXPECT_NE(gui::find_widget(c), nullptr);
    EXPECT_EQ(gui::find_widget(0), nullptr);
    EXPECT_EQ(gui::find_widget(0xFFFFFu), nullptr) << "an index past the table";
}

TEST_F(WidgetTable, TheCollectorKeepsWhatLiveWidgetsHold) {
    StackMark mark;
    WidgetId id = gui::make_widget();
    {
        StackMark inner;
        gui::find_widget(id)->face = *kel_value("make face! [type: 'text text: \"kept face\"]");
        gui::find_widget(id)->ui_string = cell_node(*kel_value("copy \"kept ui\""));
    }
    // Garbage in between, so that freed nodes would be taken again.
    kel_value("loop 50 [append copy \"\" make string! 100]");
    collector::do_cycle();
    kel_value("loop 50 [copy \"overwrite the freed nodes\"]");
    collector::do_cycle();

    Cell face = gui::find_widget(id)->face;
    Cell text = gui::facet(face, gui::Facet::text);
    ASSERT_EQ(type_of(text), TYPE_STRING);
    EXPECT_EQ(string::get_char_at(text, 0), uint32_t('k'));
    EXPECT_EQ(string::ks_abs_length(text), 9);
    Cell ui = Cell{TYPE_STRING, 0, gui::find_widget(id)->ui_string, 0};
    EXPECT_EQ(string::ks_abs_length(ui), 7);
}

TEST_F(WidgetTable, FaceFlags) {
    StackMark mark;
    struct Case {
        const char* flags;
        uint32_t bits;
    };
    const Case cases[] = {
        {"[all-over focusable]", 0x3},
        {"'password", 0x80000},
        {"[fullscreen no-border modal]", 0x200000 | 0x80000000 | 0x2000000},
        {"[]", 0},
        {"none", 0},
        {"\"all-over\"", 0},
        {"[tri-state scrollable no-sync popup resize no-buttons no-max no-min no-title]",
         0x20000 | 0x40000 | 0x100000 | 0x1000000 | 0x4000000 | 0x8000000 | 0x10000000 | 0x20000000 | 0x40000000},
    };
    for (const Case& c : cases) {
        Cell* flags = kel_value(c.flags);
        EXPECT_EQ(gui::get_flags(*flags), c.bits) << c.flags;
    }
    Cell* bad = kel_value("[focusable foo]");
    Cell arg = make_none();
    EXPECT_EQ(error_of([&] { gui::get_flags(*bad); }, &arg), id(ErrorId::script_invalid_arg));
    EXPECT_TRUE(gui::is_word(arg, "foo"));
}

TEST_F(WidgetTable, FaceHandle) {
    StackMark mark;
    WidgetId id = gui::make_widget();
    Cell* face = kel_value("make face! [type: 'base]");
    EXPECT_EQ(gui::face_handle(*face), 0u) << "no state block";
    *gui::facet_slot(*face, gui::Facet::state) = *kel_value("reduce [none 0 none]");
    EXPECT_EQ(gui::face_handle(*face), 0u) << "a state block without a handle";
    Cell* state = kel_value("make block! 4");
    handle::make_in(*state, int32_t(id), handle::CLASS_WINDOW);
    *gui::facet_slot(*face, gui::Facet::state) = *state;
    EXPECT_EQ(gui::face_handle(*face), id);
    EXPECT_EQ(gui::get_face_handle(*face), id);

    gui::mark_widget_dead(id);
    EXPECT_EQ(gui::face_handle(*face), 0u) << "a stale id";
    EXPECT_EQ(gui::get_face_handle(*face), id);
}

}  // namespace
}  // namespace kel::test
