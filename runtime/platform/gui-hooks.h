// The terminal GUI's part in console output. While a GUI runs on the terminal,
// the runtime suspends its screen around every print and lets it handle
// pending events after a wait. The backend installs its functions here when it
// starts; without a backend (or for a null function) each call does nothing.
#pragma once

namespace kel::gui {

struct Backend {
    // Erases the GUI's last frame and leaves the terminal ready for text.
    void (*before_output)() = nullptr;
    // Gives the terminal back to the GUI and marks its screen for redraw.
    void (*after_output)() = nullptr;
    // Runs one pass over pending GUI events without waiting.
    void (*do_events_once)() = nullptr;
};

// Installs a backend; nullptr removes it. The record must outlive its use.
// Answers the backend it replaces.
const Backend* install_backend(const Backend* backend);

void before_output();
void after_output();
void do_events_once();

}  // namespace kel::gui
