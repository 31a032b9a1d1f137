// Reads lines at the console for the console tests, which run it in a
// pseudo-terminal or with redirected input: each line comes from the same
// reader `ask` uses (editor, canonical mode or redirected input) and is
// reported as "=> " and the line, control characters in caret form
// (U+FFFD as "<?>"), then the exit (enter, quit, escape). "q" from Ctrl-C,
// Ctrl-D or a failed read, and the end of input, end the run with
// "history:" and the entries, newest first, separated by "|"; the process
// then ends through end_process.
//
//   console-probe [--hide] [--prompt TEXT] [--history a|b|c] [--title TEXT]
//
// While a line is edited, Ctrl-X ends the process through system_quit with
// status 98 and Ctrl-Y raises SIGSEGV, so the tests see the terminal
// restored on those roads too. Built without sanitizer checks: its faults
// are raised on purpose.
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "console/console-input.h"
#include "console/keys.h"
#include "runtime/core/print.h"
#include "runtime/core/system.h"
#include "runtime/platform/console.h"
#include "runtime/platform/faults.h"

namespace {

using namespace kel;
using namespace kel::console;

class Lines final : public History {
public:
    std::vector<std::u32string> entries;  // newest first
    int32_t count() override { return int32_t(entries.size()); }
    std::u32string entry(int32_t i) override { return entries[size_t(i)]; }
};

class FaultingTerminal final : public EditorTerminal {
public:
    int32_t read_key() override {
        int32_t k = standard_.read_key();
        if (k == 24) system_quit(exit_status::ASSERTION_FAILED, 0);
        if (k == 25) raise(SIGSEGV);
        return k;
    }
    void write(std::string_view bytes) override { standard_.write(bytes); }
    int32_t columns() override { return standard_.columns(); }
    bool take_resized() override { return standard_.take_resized(); }
    bool take_continued() override { return standard_.take_continued(); }

private:
    StandardTerminal standard_;
};

std::u32string from_utf8(const char* s) {
    std::u32string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        uint32_t c = *p++;
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (more) c &= 0x3Fu >> more;
        while (more-- > 0 && *p) c = (c << 6) | (*p++ & 0x3F);
        out.push_back(char32_t(c));
    }
    return out;
}

std::string shown(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if (c == 0xFFFD)
            out += "<?>";
        else if (c < 32)
            out += '^', out += char(c + 64);
        else if (c < 128)
            out += char(c);
        else
            out += "<U+" + std::to_string(uint32_t(c)) + ">";
    }
    return out;
}

void say(const std::string& text) { print_line({PrintItem::text(text.c_str())}); }

}  // namespace

int main(int argc, char** argv) {
    faults::install();
    console::init();
    bool hide = false;
    std::u32string prompt = U">> ";
    Lines history;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--hide"))
            hide = true;
        else if (!std::strcmp(argv[i], "--prompt") && i + 1 < argc)
            prompt = from_utf8(argv[++i]);
        else if (!std::strcmp(argv[i], "--title") && i + 1 < argc)
            init_console(argv[++i]);
        else if (!std::strcmp(argv[i], "--history") && i + 1 < argc) {
            std::u32string all = from_utf8(argv[++i]);
            size_t start = 0;
            for (size_t at; (at = all.find(U'|', start)) != std::u32string::npos; start = at + 1)
                history.entries.push_back(all.substr(start, at - start));
            history.entries.push_back(all.substr(start));
        }
    }
    FaultingTerminal terminal;
    for (;;) {
        LineRead r = read_line(prompt, history, hide, &terminal);
        if (r.ended) {
            say("end of input");
            break;
        }
        const char* exit = r.exit == EditExit::ENTER ? "enter"
            : r.exit == EditExit::QUIT               ? "quit"
            : r.exit == EditExit::ESCAPE             ? "escape"
                                                     : "completed";
        say("=> " + shown(r.text) + " [" + exit + "]");
        if (r.add_to_history) history.entries.insert(history.entries.begin(), r.text);
        if (r.exit == EditExit::QUIT) break;
    }
    std::string all;
    for (size_t i = 0; i < history.entries.size(); ++i) all += (i ? "|" : "") + shown(history.entries[i]);
    say("history: " + all);
    end_process(0);
}
