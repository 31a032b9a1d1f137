// The stack of series (and object contexts) being walked, so that forming,
// molding, copying and comparing survive series that contain themselves.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel {

namespace cycle_guard {

inline constexpr int CAPACITY = 1000;

// Stores the node; the push that fills the stack empties it and raises
// internal/too-deep.
void push(NodeId node);
void pop();
void pop_n(int n);
void reset();
bool find(NodeId node);
int depth();

// Pushes the node for the life of the scope: however the scope ends
// (an error unwinding through it included), the stack returns to the depth
// it had before the push.
class Scope {
public:
    explicit Scope(NodeId node) : depth_(depth()) { push(node); }
    ~Scope() {
        if (depth() > depth_) pop_n(depth() - depth_);
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    int depth_;
};
// The node a walker pushes for a value: an object's context, else its series.
NodeId node_of(const Cell& value);
// When the value's series or context is being walked, appends the cycle
// marker to the target string, lowers the budget by its length and answers
// true; otherwise writes nothing and answers false.
bool detect(const Cell& value, const Cell& target, int64_t& budget, bool mold);

}  // namespace cycle_guard

}  // namespace kel
