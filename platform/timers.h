#pragma once

#include <functional>

// Calls to be run later on the GUI thread, from the message loop. A call queued from inside an
// event handler runs once the handler has returned to the loop (or from a loop the handler runs
// itself: a modal dialog, ProcessMessages), never inside the queuing call; calls queued with the
// same delay run in the order they were queued. Nothing cancels a call: one that needs an object
// checks that it still lives. Both throw Exception when no application object exists yet.

// Runs `call` once, as soon as the message loop is back.
void QueueCall(std::function<void()> call);
// Runs `call` once, from the message loop, no sooner than `milliseconds` from now.
void CallAfter(int milliseconds, std::function<void()> call);
