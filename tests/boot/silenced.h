// Silenced: for tests that run many Kel programs, whose output would bury
// the test's own.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace kel::test {

// Sends what the programs print to /dev/null for the guard's life.
class Silenced {
public:
    Silenced() {
        std::fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~Silenced() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2(saved_, STDOUT_FILENO);
            close(saved_);
        }
    }

private:
    int saved_ = -1;
};

}  // namespace kel::test
