#include "console/line-editor.h"

#include "console/keys.h"

namespace kel::console {

namespace {

class Edit {
public:
    Edit(LineEditor& editor, EditorTerminal& terminal, std::u32string_view prompt, History& history, bool hidden)
        : editor_(editor), t_(terminal), prompt_(prompt), history_(history), hidden_(hidden) {}

    EditResult run(std::u32string_view initial, int64_t start_column) {
        line_ = initial;
        cursor_ = line_.size();
        display_.begin(start_column, t_.columns(), hidden_);
        draw(true);
        count_ = history_.count();
        for (;;) {
            // A signal that came between two keys is seen here; one that
            // comes while the read waits ends the wait.
            woken();
            int32_t k = t_.read_key();
            if (k == key::WAKE) continue;
            if (k == key::TAB && !hidden_ && editor_.completer && complete()) continue;
            switch (k) {
            case key::ENTER: {
                t_.write(display_.go_below(prompt_, line_));
                EditResult r = finish(EditExit::ENTER, line_, 0);
                r.add_to_history = !hidden_ && !line_.empty() && (count_ == 0 || history_.entry(0) != line_);
                return r;
            }
            case 127:
            case 8:
                if (cursor_ > 0) {
                    line_.erase(--cursor_, 1);
                    draw(true);
                }
                break;
            case key::LEFT:
            case 2:
                if (cursor_ > 0) --cursor_, draw(false);
                break;
            case key::RIGHT:
            case 6:
                if (cursor_ < line_.size()) ++cursor_, draw(false);
                break;
            case key::UP:
            case 16:
                if (walk_ < count_ - 1)
                    fetch(++walk_);
                else
                    set_line({});
                draw(true);
                break;
            case key::DOWN:
            case 14:
                if (walk_ < 0)
                    set_line({});
                else
                    fetch(walk_--);
                draw(true);
                break;
            case key::HOME:
            case 1:
                cursor_ = 0, draw(false);
                break;
            case key::END:
            case 5:
                cursor_ = line_.size(), draw(false);
                break;
            case key::DELETE:
                if (cursor_ < line_.size()) line_.erase(cursor_, 1), draw(true);
                break;
            case 11:
                if (cursor_ < line_.size()) line_.erase(cursor_), draw(true);
                break;
            case 4:
                if (line_.empty()) return finish(EditExit::QUIT, U"q", 0);
                if (cursor_ < line_.size()) line_.erase(cursor_, 1), draw(true);
                break;
            case 3:
            case key::FAILED:
                // A read that fails keeps failing: leave as Ctrl-D on an
                // empty line does, never spin on it.
                return finish(EditExit::QUIT, U"q", 0);
            case 26:
                suspend();
                break;
            case key::ESC:
                line_.push_back(char32_t(key::ESC));
                return finish(EditExit::ESCAPE, line_, cursor_);
            default:
                if (k == key::TAB || (k > 31 && k != 127)) insert(char32_t(k));
                break;
            }
        }
    }

private:
    EditResult finish(EditExit exit, std::u32string text, size_t cursor) {
        EditResult r;
        r.text = std::move(text);
        r.cursor = cursor;
        r.exit = exit;
        return r;
    }

    void draw(bool full) { t_.write(display_.refresh(prompt_, line_, cursor_, full)); }

    void set_line(std::u32string text) {
        line_ = std::move(text);
        cursor_ = line_.size();
    }

    void fetch(int32_t index) { set_line(history_.entry(index)); }

    void insert(char32_t c) {
        if (cursor_ == line_.size()) {
            line_.push_back(c);
            ++cursor_;
            t_.write(display_.append(prompt_, line_));
            return;
        }
        line_.insert(cursor_++, 1, c);
        draw(true);
    }

    // Leaves what the screen shows: the cursor goes to the start of the row
    // below the text.
    void new_row() { t_.write(display_.go_below(prompt_, line_) + "\r\n"); }

    void suspend() {
        new_row();
        t_.suspend();
        (void)t_.take_continued();
        (void)t_.take_resized();
        display_.begin(0, t_.columns(), hidden_);
        draw(true);
    }

    void woken() {
        bool full = t_.take_continued();
        if (t_.take_resized()) {
            display_.resize(prompt_, line_, cursor_, t_.columns());
            full = true;
        }
        if (full) draw(true);
    }

    // Asks the completer; answers whether it found something. One text is
    // the completed line. With several, the candidates are listed on the
    // prompt's row, each followed by a blank, and the edit goes on below
    // them with the completed line.
    bool complete() {
        Completions c;
        editor_.completer(line_, cursor_, c);
        if (c.texts.empty()) return false;
        if (c.texts.size() > 1) {
            line_.clear();
            for (size_t i = 1; i < c.texts.size(); ++i) line_ += c.texts[i] + U" ";
            cursor_ = line_.size();
            draw(true);
            new_row();
            display_.begin(0, t_.columns(), hidden_);
        }
        line_ = std::move(c.texts[0]);
        cursor_ = std::min(c.cursor, line_.size());
        draw(true);
        return true;
    }

    LineEditor& editor_;
    EditorTerminal& t_;
    std::u32string_view prompt_;
    History& history_;
    bool hidden_;
    Display display_;
    std::u32string line_;
    size_t cursor_ = 0;
    int32_t count_ = 0;
    int32_t walk_ = -1;
};

}  // namespace

EditResult LineEditor::edit(EditorTerminal& terminal, std::u32string_view prompt, std::u32string_view initial,
                            History& history, bool hidden, int64_t start_column) {
    return Edit(*this, terminal, prompt, history, hidden).run(initial, start_column);
}

LineEditor& line_editor() {
    static LineEditor editor;
    return editor;
}

}  // namespace kel::console
