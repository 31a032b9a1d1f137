// For the view tests on a real pseudo-terminal: whether the terminal was
// given back as a new one starts (its mode, the mouse off, the cursor shown,
// the main screen, no SGR left on), and a wait that answers the program's
// cursor-position questions meanwhile.
#pragma once
#include <gtest/gtest.h>
#include <pty.h>

#include <functional>
#include <string>

#include "tests/console/pty-session.h"

namespace kel::test {

// The mode a new pseudo-terminal starts in: what a program found and must
// give back.
inline termios fresh_mode() {
    int master = -1, slave = -1;
    termios t{};
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
        tcgetattr(slave, &t);
        close(master);
        close(slave);
    }
    return t;
}

inline void expect_given_back(const PtySession& s) {
    termios want = fresh_mode(), got = s.mode();
    EXPECT_EQ(got.c_iflag, want.c_iflag);
    EXPECT_EQ(got.c_oflag, want.c_oflag);
    EXPECT_EQ(got.c_lflag, want.c_lflag);
    EXPECT_EQ(got.c_cc[VMIN], want.c_cc[VMIN]);
    EXPECT_TRUE(s.screen.mouse_modes().empty());
    EXPECT_TRUE(s.screen.cursor_visible());
    EXPECT_FALSE(s.screen.alternate_screen());
    EXPECT_EQ(s.screen.pen(), VtLook{});
}

// Answers the terminal's cursor-position questions until `done` holds.
inline bool answer_until(PtySession& s, const std::function<bool()>& done) {
    return s.wait_for([&] {
        std::string answers = s.screen.take_answers();
        if (!answers.empty()) s.send(answers);
        return done();
    });
}

// The same until the text has been written.
inline bool answer_until(PtySession& s, const std::string& text) {
    return answer_until(s, [&] { return s.output.find(text) != std::string::npos; });
}

}  // namespace kel::test
