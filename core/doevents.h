#pragma once

#include <functional>

// Lets pending window events run; the one place long loops pump messages. Does nothing
// off the GUI thread, where there are no windows to keep painted.
void DoEvents();

// Runs `work` on a worker thread while this thread keeps handling its events, and returns
// when `work` has returned (rethrowing what it threw). For one long library call (an image
// encode, a PDF write) during which the window must stay painted: `work` must not touch
// widgets, and whatever it uses must not be changed by the events handled meanwhile.
// Off the GUI thread, or without an application, `work` simply runs here.
void DoEventsWhile(const std::function<void()>& work);
