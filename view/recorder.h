// The recording platform: the routines of `system/view/platform` for a
// backend that draws nothing. Every call appends a block [name arg ...] to
// the log of the recorder object (`view-recorder`, defined when KEL_VIEW is
// "record"); without that object nothing is logged and the answers are the
// same. The answers are what the view engine relies on:
//
// - make-view gives a handle! of class window with a value never used
//   before in the process;
// - destroy-view sets `state` to none for the face and every face of its
//   pane tree, and ends the running event loop when its flag is true;
// - update-view checks every value of a block before touching any, skips a
//   screen face and sets the dirty mask (state/2) of each face it updates
//   to 0;
// - get-screen-size is 80x24, or the recorder's `screen-size` when set;
// - size-text measures display columns by lines without a width limit;
// - text-box-metrics answers as if the text were one line of monospace
//   characters;
// - do-event-loop takes the functions queued in the recorder's `steps` one
//   by one, calls each with the newest window and hands what it returns (an
//   event, or a block made into one) to system/view/awake; it ends when the
//   queue is empty, on exit-event-loop, or when a window with its loop flag
//   set is destroyed, and gives false when no step ran. Nested loops take
//   from the same queue;
// - request-file and request-dir are the terminal's dialogs
//   (TUI-helpers), called with every argument, so steps drive them;
//   request-font gives its font and request-color none.
#pragma once
#include <span>

#include "runtime/evaluator/routines.h"

namespace kel::view {

// The 28 routines, each with the word of its platform field.
std::span<const routines::Entry> recorder_routines();

// Takes the recorder object from the global word `view-recorder` (none
// when that word has no object) and sets the routines into the fields of
// system/view/platform.
void install_recorder();

}  // namespace kel::view
