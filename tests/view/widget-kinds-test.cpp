// The widget kinds: how each looks on the fake terminal, and what their own
// event handlers do to the face and send on.
#include <gtest/gtest.h>

#include "tests/kel-eval.h"
#include "tests/view/widget-screen.h"
#include "view/terminal/text-layout.h"

namespace kel::test {
namespace {

using gui::EVENT_CHANGE, gui::EVENT_CLICK, gui::EVENT_SELECT;

bool is_true(const Cell& v) { return type_of(v) == TYPE_LOGIC && v.data1 != 0; }

std::string text_of_face(gui::WidgetId id) {
    std::u32string chars = gui::text_of(gui::facet(gui::face_of(id), gui::Facet::text));
    std::string out;
    for (char32_t c : chars) out += char(c);
    return out;
}

TEST_F(WidgetScreen, KindsLook) {
    struct Case {
        const char* name;
        int rows, columns;
        const char* faces;
        bool focus_first;  // the first face gets the focus (and its focus event)
        const char* screen;
    };
    const Case cases[] = {
        {"progress at 50%", 1, 12, "make face! [type: 'progress offset: 0x0 size: 12x1 data: 50%]", false,
         "|[#####     ]|\n"},
        {"progress past the end is full", 1, 6, "make face! [type: 'progress offset: 0x0 size: 6x1 data: 2.5]", false,
         "|[####]|\n"},
        {"an empty check box", 1, 8, R"(make face! [type: 'check offset: 0x0 size: 8x1 text: "Agree"])", false,
         "|☐ Agree |\n"},
        {"a set radio", 1, 4, R"(make face! [type: 'radio offset: 0x0 size: 4x1 text: "B" data: true])", false,
         "|◉ B |\n"},
        {"a round group-box with its title", 3, 8,
         R"(make face! [type: 'group-box offset: 0x0 size: 8x3 text: "Box" options: [border-corners round]])", false,
         "|╭Box───╮|\n|│      │|\n|╰──────╯|\n"},
        {"a square group-box in a border colour", 2, 3,
         R"(make face! [type: 'group-box offset: 0x0 size: 3x2 options: [border-color 255.0.0]])", false,
         "|┌─┐|\n"
         " aaa\n"
         "|└─┘|\n"
         " aaa\n"
         "a: fg 196\n"},
        {"a focused text-list marks the selected line", 3, 3,
         "make face! [type: 'text-list offset: 0x0 size: 3x3 data: [a b c] selected: 2]", true,
         "|a  |\n|b  |\n"
         " a\n"
         "|c  |\n"
         "a: reverse\n"},
        {"a text-list without the focus marks nothing", 2, 3,
         "make face! [type: 'text-list offset: 0x0 size: 3x2 data: [a b c] selected: 2]", false, "|a  |\n|b  |\n"},
        {"a password field", 1, 5, R"(make face! [type: 'field offset: 0x0 size: 5x1 text: "abc" flags: [password]])",
         false, "|***  |\n"},
        {"a rich-text's cells take its text and background", 1, 5,
         R"(make face! [type: 'rich-text offset: 0x0 size: 5x1 text: "rich" color: 0.0.255 data: []])", false,
         "|rich |\n"
         " aaaaa\n"
         "a: bg 21\n"},
        {"a focused button is in reverse video", 1, 4,
         R"(make face! [type: 'button offset: 0x0 size: 4x1 text: "Go" flags: [focusable]])", false,
         "|Go  |\n"
         " aa\n"
         "a: reverse\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        use_terminal(c.rows, c.columns);
        Cell* window = show(window_of(c.faces));
        if (c.focus_first) {
            gui::WidgetId first = child(*window, 1);
            gui::services().set_focus(first);
            gui::EventRecord record{first, 0, 0, 0, 0};
            gui::find_widget(first)->event(first, int32_t(gui::EVENT_FOCUS), record);
        }
        EXPECT_EQ(frame(), c.screen);
        gui::release_all_widgets();
    }
}

TEST_F(WidgetScreen, FocusedFieldPlacesTheCaret) {
    use_terminal(2, 10);
    show(window_of(R"(make face! [type: 'field offset: 0x0 size: 10x1 text: "hello" flags: [focusable]]
                      make face! [type: 'text offset: 0x1 size: 10x1 text: "below"])"));
    frame();
    EXPECT_EQ(terminal_->screen.cursor_row(), 0);
    EXPECT_EQ(terminal_->screen.cursor_column(), 5);
    EXPECT_TRUE(terminal_->screen.cursor_visible());
    EXPECT_NE(terminal_->output.find("\r\033[1A\033[5C"), std::string::npos);
}

TEST_F(WidgetScreen, CaretHostPlacesTheCaretOfItsTarget) {
    use_terminal(2, 6);
    Cell* window = show(window_of(R"(
        target: make face! [type: 'base offset: 0x0 size: 2x1 flags: [focusable]]
        make face! [type: 'base offset: 4x1 size: 1x1 options: reduce ['caret target]])"));
    gui::WidgetId target = child(*window, 1), host = child(*window, 2);
    EXPECT_TRUE(gui::find_widget(target)->flags & gui::WIDGET_CARET);
    EXPECT_TRUE(gui::find_widget(host)->flags & gui::WIDGET_CARET_HOST);
    EXPECT_EQ(gui::window_record(gui::pointers().current_window)->caret_widgets, 1);
    frame();
    EXPECT_EQ(terminal_->screen.cursor_row(), 1);
    EXPECT_EQ(terminal_->screen.cursor_column(), 4);
}

TEST_F(WidgetScreen, FieldEditing) {
    Cell* window = show(window_of(R"(make face! [type: 'field offset: 0x0 size: 5x1 text: "abcd"])"));
    gui::WidgetId field = child(*window, 1);
    key(field, 'e');
    EXPECT_EQ(text_of_face(field), "abcde");
    key(field, 'f');
    EXPECT_EQ(text_of_face(field), "abcde") << "the text never grows past the box";
    key(field, 127);
    EXPECT_EQ(text_of_face(field), "abcd");
    key(field, -23);  // left
    key(field, 2);  // Ctrl-B, left
    key(field, 'X');
    EXPECT_EQ(text_of_face(field), "abXcd");
    key(field, 6);  // Ctrl-F, right
    key(field, 8);
    EXPECT_EQ(text_of_face(field), "abXd");
    EXPECT_EQ(gui::find_widget(field)->kind_data.field.caret_column, 3);
    for (int32_t ignored : {0, 9, 13, 10, -20, -24}) key(field, ignored);
    EXPECT_EQ(text_of_face(field), "abXd");
    click(field, 1.5f, 0);
    key(field, 'Y');
    EXPECT_EQ(text_of_face(field), "aYbXd") << "a click places the caret";
    key(field, 'Z');
    EXPECT_EQ(text_of_face(field), "aYbXd");
}

TEST_F(WidgetScreen, FieldWithoutTextGetsAString) {
    Cell* window = show(window_of("make face! [type: 'field offset: 0x0 size: 5x1]"));
    gui::WidgetId field = child(*window, 1);
    key(field, 'q');
    key(field, 0x754C);  // a wide character: two cells
    EXPECT_EQ(gui::find_widget(field)->kind_data.field.text_width, 3);
    key(field, 0x754C);
    EXPECT_EQ(gui::find_widget(field)->kind_data.field.text_width, 5);
    key(field, 'x');
    EXPECT_EQ(gui::text_length(gui::facet(gui::face_of(field), gui::Facet::text)), 3);
}

TEST_F(WidgetScreen, ChecksAndRadios) {
    use_terminal(2, 6);
    Cell* window = show(window_of(R"(
        make face! [type: 'check offset: 0x0 size: 6x1 text: "A"]
        make face! [type: 'panel offset: 0x1 size: 6x1 pane: reduce [
            make face! [type: 'radio offset: 0x0 size: 3x1 text: "x" data: true]
            make face! [type: 'radio offset: 3x0 size: 3x1 text: "y"]]])"));
    gui::WidgetId check = child(*window, 1);
    key(check, ' ');
    EXPECT_EQ(is_true(gui::facet(gui::face_of(check), gui::Facet::data)), true) << "none becomes true";
    key(check, 'a');
    click(check, 0, 0);
    key(check, ' ');
    EXPECT_EQ(
        sent_events(),
        (std::vector<SentEvent>{{EVENT_CHANGE, "check", 0}, {EVENT_CHANGE, "check", 0}, {EVENT_CHANGE, "check", 0}}));

    Cell panel = *block::ks_abs_at(gui::facet(*window, gui::Facet::pane), 1);
    Cell radios = gui::facet(panel, gui::Facet::pane);
    gui::WidgetId x = gui::face_handle(*block::ks_abs_at(radios, 0));
    gui::WidgetId y = gui::face_handle(*block::ks_abs_at(radios, 1));
    sent_events().clear();
    click(y, 0, 0);
    click(y, 0, 0);
    EXPECT_FALSE(is_true(gui::facet(gui::face_of(x), gui::Facet::data)));
    EXPECT_TRUE(is_true(gui::facet(gui::face_of(y), gui::Facet::data))) << "a radio stays set";
    EXPECT_EQ(sent_events(), (std::vector<SentEvent>{{EVENT_CHANGE, "radio", 0}, {EVENT_CHANGE, "radio", 0}}));
    EXPECT_EQ(frame(), "|\U0001F795 A   |\n|○ x◉ y|\n");
}

TEST_F(WidgetScreen, TextListSelection) {
    Cell* window = show(window_of("make face! [type: 'text-list offset: 0x0 size: 3x2 data: [a b c] selected: 2]"));
    gui::WidgetId list = child(*window, 1);
    gui::services().set_focus(list);
    key(list, -21);  // down
    EXPECT_EQ(sent_events(), (std::vector<SentEvent>{{EVENT_SELECT, "text-list", 3}, {EVENT_CHANGE, "text-list", 3}}));
    EXPECT_EQ(cell_integer(gui::facet(gui::face_of(list), gui::Facet::selected)), 3);
    EXPECT_EQ(gui::find_widget(list)->kind_data.first_line, 1) << "the list scrolls to show the selection";
    key(list, -21);
    EXPECT_EQ(sent_events().size(), 2u) << "no item below the last";

    sent_events().clear();
    click(list, 0, 1.0f);  // the second shown line: item 3, already selected
    click(list, 0, 5.0f);  // below the items
    EXPECT_TRUE(sent_events().empty());
    click(list, 0, 0.0f);
    EXPECT_EQ(sent_events(), (std::vector<SentEvent>{{EVENT_SELECT, "text-list", 2}, {EVENT_CHANGE, "text-list", 2}}));
    EXPECT_EQ(key(list, 'x'), 0);
}

TEST_F(WidgetScreen, ButtonClicksOnSpaceOnly) {
    Cell* window = show(window_of(R"(make face! [type: 'button offset: 0x0 size: 4x1 text: "Go"])"));
    gui::WidgetId button = child(*window, 1);
    key(button, 13);
    EXPECT_TRUE(sent_events().empty()) << "Enter is no click";
    key(button, ' ');
    EXPECT_EQ(sent_events(), (std::vector<SentEvent>{{EVENT_CLICK, "button", 0}}));
}

}  // namespace
}  // namespace kel::test
