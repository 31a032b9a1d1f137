// A fixture for the widgets' tests: the library booted, the fake terminal
// installed and active, faces made in Kel and given widgets the way `show`
// gives them (the window first, then its pane in order, each face's state
// block set to [handle 0 none]), frames drawn into the VT model, and the
// events the widgets send recorded in place of the dispatch.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/handle.h"
#include "tests/boot-library.h"
#include "tests/view/fake-terminal.h"
#include "tests/view/kel-values.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/render.h"
#include "view/terminal/tui-helpers.h"
#include "view/terminal/view-lifecycle.h"
#include "view/terminal/widget-services.h"
#include "view/terminal/widgets.h"

namespace kel::test {

// An event a widget sent: its type, the widget's face type and the index
// it carried.
struct SentEvent {
    uint32_t type;
    std::string face_type;
    int32_t picked;
    bool operator==(const SentEvent&) const = default;
};

inline std::vector<SentEvent>& sent_events() {
    static std::vector<SentEvent> events;
    return events;
}

inline std::string face_type_of(gui::WidgetId id) {
    Cell type = gui::facet(gui::face_of(id), gui::Facet::type);
    for (const char* name : {"button", "field", "check", "radio", "text-list", "base", "window"})
        if (gui::is_word(type, name)) return name;
    return "?";
}

class WidgetScreen : public ::testing::Test {
protected:
    static constexpr int ROWS = 5, COLUMNS = 16;

    void SetUp() override {
        boot_library();
        top_ = stack::state.top;
        gui::install_tui_helpers();
        use_terminal(ROWS, COLUMNS);
        sent_events().clear();
        gui::WidgetServices recording{};
        recording.mouse_event = [](uint32_t type, gui::WidgetId id, float, float, uint32_t) {
            sent_events().push_back({type, face_type_of(id), 0});
            return 0;
        };
        recording.select_event = [](uint32_t type, gui::WidgetId id, int32_t picked) {
            sent_events().push_back({type, face_type_of(id), picked});
            return 0;
        };
        previous_services_ = gui::install_services(recording);
    }

    void TearDown() override {
        gui::release_all_widgets();
        gui::install_services(previous_services_);
        terminal_.reset();
        stack::state.top = top_;
    }

    // A terminal of another size in place of the fixture's.
    void use_terminal(int rows, int columns) {
        terminal_.reset();
        terminal_ = std::make_unique<FakeTerminal>(rows, columns);
        gui::State& s = gui::state();
        s.active = true;
        s.width = columns;
        s.height = rows;
    }

    // The Kel text of a window face whose pane holds the faces.
    static std::string window_of(const std::string& faces) {
        return "make face! [type: 'window size: 20x5 pane: reduce [" + faces + "]]";
    }

    // Makes the window of the Kel text (a face! of type window) with its
    // pane's widgets, and makes it the current window.
    Cell* show(const std::string& window) {
        Cell* face = kel_value(window);
        gui::WidgetId id = realize(*face, 0);
        gui::pointers().current_window = id;
        return face;
    }

    gui::WidgetId realize(const Cell& face_in, gui::WidgetId parent) {
        Cell* face = stack::push(face_in);
        gui::WidgetId id = gui::OS_make_view(*face, parent);
        Cell* state = kel_value("reduce [none 0 none]");
        handle::make_at(*block::ks_abs_at(*state, 0), int32_t(id), handle::CLASS_WINDOW);
        *gui::facet_slot(*face, gui::Facet::state) = *state;
        for (int32_t i = 0;; ++i) {
            Cell pane = gui::facet(*face, gui::Facet::pane);
            if (type_of(pane) != TYPE_BLOCK || i >= block::ks_length(pane)) break;
            Cell* sub = stack::push(*block::ks_abs_at(pane, int32_t(pane.data1) + i));
            *gui::facet_slot(*sub, gui::Facet::parent) = *face;
            realize(*sub, id);
        }
        return id;
    }

    // The widget of the pane's face at the 1-based place.
    gui::WidgetId child(const Cell& window, int32_t n) {
        Cell pane = gui::facet(window, gui::Facet::pane);
        return gui::face_handle(*block::ks_abs_at(pane, int32_t(pane.data1) + n - 1));
    }

    // Draws a frame and answers the screen.
    std::string frame() {
        gui::state().redraw = true;
        gui::draw_frame();
        return terminal_->screen.screenshot();
    }

    // A key to the widget's own handler.
    int32_t key(gui::WidgetId id, int32_t code) {
        gui::EventRecord record{id, 0, 0, code, 0};
        return gui::find_widget(id)->event(id, int32_t(gui::EVENT_KEY), record);
    }
    int32_t click(gui::WidgetId id, float x, float y) {
        gui::EventRecord record{id, x, y, 0, 0};
        return gui::find_widget(id)->event(id, int32_t(gui::EVENT_CLICK), record);
    }

    std::unique_ptr<FakeTerminal> terminal_;

private:
    Cell* top_ = nullptr;
    gui::WidgetServices previous_services_{};
};

}  // namespace kel::test
