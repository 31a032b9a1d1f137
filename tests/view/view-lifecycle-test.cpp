// Making, updating and destroying views: widget flags and focus from the
// face, facet updates by the dirty mask, a text-list's removals, the tree
// destroyed with every pointer to it, and the Kel helpers' answers.
#include <gtest/gtest.h>

#include "runtime/memory/collector.h"
#include "tests/kel-eval.h"
#include "tests/view/widget-screen.h"

namespace kel::test {
namespace {

int quit_requests = 0;

// Sets a facet's value by Kel text and its bit in the face's dirty mask.
void change(const Cell& face, gui::Facet which, const std::string& value, uint32_t bit) {
    *gui::facet_slot(face, which) = *kel_value(value);
    Cell state = gui::facet(face, gui::Facet::state);
    block::ks_abs_at(state, int32_t(state.data1) + 1)->data2 |= bit;
}

TEST_F(WidgetScreen, MakeViewTakesFlagsAndFocus) {
    Cell* window = show(window_of(R"(
        make face! [type: 'text offset: 1x1 size: 3x1]
        make face! [type: 'base offset: 4x0 size: 2x2 flags: [all-over focusable]]
        make face! [type: 'base offset: 0x2 size: 2x1 flags: 'focusable enabled?: false visible?: false])"));
    gui::WidgetId first = child(*window, 2), second = child(*window, 3);
    const gui::Widget& w = *gui::find_widget(first);
    EXPECT_EQ(w.flags & (gui::WIDGET_ALL_OVER | gui::WIDGET_FOCUSABLE | gui::WIDGET_FOCUSED),
              gui::WIDGET_ALL_OVER | gui::WIDGET_FOCUSABLE | gui::WIDGET_FOCUSED);
    EXPECT_EQ(gui::pointers().focused, first) << "the first focusable face of the window";
    EXPECT_EQ(gui::find_widget(second)->flags & (gui::WIDGET_HIDDEN | gui::WIDGET_DISABLED | gui::WIDGET_FOCUSED),
              gui::WIDGET_HIDDEN | gui::WIDGET_DISABLED);
    const gui::WindowRecord& r = *gui::window_record(gui::pointers().current_window);
    EXPECT_EQ(std::vector<float>({r.x1, r.y1, r.x2, r.y2}), std::vector<float>({0, 0, 6, 3}))
        << "the extent holds every direct child";
    set_global("made-face", *block::ks_abs_at(gui::facet(*window, gui::Facet::pane), 0));
    EXPECT_EQ(evaluate("made-face/offset").text, "(1, 1)") << "a pair offset becomes a point2D";
}

TEST_F(WidgetScreen, UpdateViewAppliesTheDirtyFacets) {
    use_terminal(2, 6);
    Cell* window = show(window_of(R"(
        make face! [type: 'text offset: 0x0 size: 6x2 text: "ab" visible?: false]
        make face! [type: 'progress offset: 0x1 size: 6x1 data: 0%])"));
    Cell text = *block::ks_abs_at(gui::facet(*window, gui::Facet::pane), 0);
    Cell progress = *block::ks_abs_at(gui::facet(*window, gui::Facet::pane), 1);
    EXPECT_EQ(frame(), "|      |\n|[    ]|\n");

    change(text, gui::Facet::visible, "true", gui::DIRTY_VISIBLE);
    change(text, gui::Facet::offset, "2x0", gui::DIRTY_OFFSET);
    change(text, gui::Facet::size, "3x1", gui::DIRTY_SIZE);
    gui::OS_update_view(text);
    change(progress, gui::Facet::data, "100%", gui::DIRTY_DATA);
    gui::OS_update_view(progress);
    EXPECT_TRUE(gui::state().redraw);
    EXPECT_EQ(frame(), "|  ab  |\n|[####]|\n");
    Cell state = gui::facet(text, gui::Facet::state);
    EXPECT_EQ(cell_integer(*block::ks_abs_at(state, int32_t(state.data1) + 1)), 0) << "the mask is cleared";

    change(text, gui::Facet::enabled, "false", gui::DIRTY_ENABLED);
    change(text, gui::Facet::flags, "[all-over]", gui::DIRTY_FLAGS);
    gui::OS_update_view(text);
    EXPECT_EQ(gui::find_widget(gui::face_handle(text))->flags & (gui::WIDGET_DISABLED | gui::WIDGET_ALL_OVER),
              gui::WIDGET_DISABLED | gui::WIDGET_ALL_OVER);
}

TEST_F(WidgetScreen, WindowSelectedMovesTheFocus) {
    Cell* window = show(window_of(R"(
        make face! [type: 'field offset: 0x0 size: 5x1 flags: [focusable]]
        make face! [type: 'field offset: 0x1 size: 5x1])"));
    gui::WidgetId second = child(*window, 2);
    change(*window, gui::Facet::selected, "none", gui::DIRTY_SELECTED);
    *gui::facet_slot(*window, gui::Facet::selected) = *block::ks_abs_at(gui::facet(*window, gui::Facet::pane), 1);
    gui::OS_update_view(*window);
    EXPECT_EQ(gui::pointers().focused, second);
    EXPECT_FALSE(gui::has_focus(child(*window, 1)));
    EXPECT_TRUE(gui::has_focus(second));
}

TEST_F(WidgetScreen, TextListRemovalsKeepItsLinesInRange) {
    Cell* window = show(window_of("make face! [type: 'text-list offset: 0x0 size: 3x2 data: [a b c d] selected: 4]"));
    gui::WidgetId list = child(*window, 1);
    Cell face = gui::face_of(list);
    gui::find_widget(list)->kind_data.first_line = 3;
    Cell data = gui::facet(face, gui::Facet::data);
    gui::OS_update_facet(face, *kel_value("'data"), data, *kel_value("'remove"), make_none(), 2, 2);
    EXPECT_EQ(cell_integer(gui::facet(face, gui::Facet::selected)), 2);
    EXPECT_EQ(gui::widget_data(list), 2);
    gui::OS_update_facet(face, *kel_value("'data"), data, *kel_value("'clear"), make_none(), 0, 4);
    EXPECT_EQ(gui::widget_data(list), 0);
    EXPECT_EQ(cell_integer(gui::facet(face, gui::Facet::selected)), 0);
}

TEST_F(WidgetScreen, DestroyClearsTheTreeAndEveryPointer) {
    quit_requests = 0;
    gui::WidgetServices with_quit = gui::services();
    with_quit.post_quit_msg = [] { ++quit_requests; };
    gui::install_services(with_quit);
    Cell* window = show(window_of(R"(
        make face! [type: 'panel offset: 0x0 size: 5x2 pane: reduce [
            make face! [type: 'field offset: 0x0 size: 5x1 flags: [focusable] font: make font! [parent: [] state: [1]]]]]
        make face! [type: 'rich-text offset: 0x2 size: 5x1 text: "rich"])"));
    gui::WidgetId win = gui::pointers().current_window, panel = child(*window, 1);
    Cell field_face = *block::ks_abs_at(gui::facet(gui::face_of(panel), gui::Facet::pane), 0);
    gui::WidgetId field = gui::face_handle(field_face);
    Cell font = gui::facet(field_face, gui::Facet::font);
    block::append_cell(gui::font_field(font, gui::FontField::parent), field_face);
    gui::pointers().hovered = field;
    gui::pointers().pressed = field;
    gui::pointers().pressed_list = {field, panel};
    EXPECT_EQ(gui::live_widget_count(), 4);

    gui::OS_destroy_view(*block::ks_abs_at(gui::facet(*window, gui::Facet::pane), 0), false);
    EXPECT_EQ(gui::face_handle(field_face), 0u);
    EXPECT_EQ(type_of(gui::facet(field_face, gui::Facet::state)), TYPE_NONE);
    EXPECT_EQ(type_of(gui::font_field(font, gui::FontField::state)), TYPE_NONE) << "its last face left the font";
    EXPECT_EQ(gui::pointers().focused, win) << "the focus goes back to the window";
    EXPECT_EQ(gui::pointers().hovered, 0u);
    EXPECT_EQ(gui::pointers().pressed, 0u);
    EXPECT_TRUE(gui::pointers().pressed_list.empty());
    EXPECT_EQ(gui::live_widget_count(), 2);
    EXPECT_EQ(quit_requests, 0);

    gui::OS_destroy_view(*window, true);
    EXPECT_EQ(quit_requests, 1);
    EXPECT_EQ(gui::live_widget_count(), 0);
    EXPECT_TRUE(gui::pointers().windows.empty());
    EXPECT_EQ(gui::pointers().current_window, 0u);
    gui::release_dead_widgets();
    gui::WidgetId fresh = gui::make_widget();
    EXPECT_NE(fresh, win);
    EXPECT_EQ(gui::find_widget(win), nullptr);
}

TEST_F(WidgetScreen, HelpersWithoutAView) {
    struct Case {
        const char* code;
        const char* want;
    };
    const Case cases[] = {
        {"TUI-helpers/widget-data make face! [type: 'text-list]", "0"},
        {"TUI-helpers/focused? make face! [type: 'field]", "false"},
        {"f: make face! [type: 'check text: \"x\"] TUI-helpers/set-face-ui f \"ui\" f/text", "\"x\""},
    };
    for (const Case& c : cases) EXPECT_EQ(evaluate(c.code).text, c.want) << c.code;
}

TEST_F(WidgetScreen, FontAndParaChanges) {
    Cell* window = show(window_of("make face! [type: 'text offset: 0x0 size: 2x1]"));
    Cell face = gui::face_of(child(*window, 1));
    gui::update_para(face, 0);
    Cell state = gui::facet(face, gui::Facet::state);
    EXPECT_EQ(cell_integer(*block::ks_abs_at(state, int32_t(state.data1) + 1)), int32_t(gui::DIRTY_PARA));
    Cell* font = kel_value("make font! [state: [1]]");
    for (int32_t field : {3, 5, 7}) gui::update_font(*font, field);
    EXPECT_EQ(type_of(gui::font_field(*font, gui::FontField::state)), TYPE_BLOCK);
    gui::update_font(*font, 4);
    EXPECT_EQ(type_of(gui::font_field(*font, gui::FontField::state)), TYPE_NONE);
    EXPECT_FALSE(gui::face_to_image(face, nullptr));
}

TEST_F(WidgetScreen, ViewsSurviveCollections) {
    use_terminal(1, 8);
    show(window_of(R"(make face! [type: 'check offset: 0x0 size: 8x1 text: copy "kept"]
                      make face! [type: 'rich-text offset: 0x0 size: 0x0 text: copy "r"])"));
    kel_value("loop 20 [copy \"garbage\"]");
    collector::do_cycle();
    kel_value("loop 20 [copy \"more garbage over the freed\"]");
    EXPECT_EQ(frame(), "|☐ kept  |\n");
}

}  // namespace
}  // namespace kel::test
