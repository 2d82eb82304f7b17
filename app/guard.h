#pragma once
#include "timer.h"

#include <exception>

namespace tavro {

// Runs an event handler; an error that escapes it is shown to the user and the program goes on.
template <class Handler> void RunGuarded(MessageSink &messages, Handler &&handler)
{
    try {
        handler();
    } catch (const std::exception &e) {
        messages.show(QString::fromUtf8(e.what()));
    }
}

// A slot for connect(): the handler runs guarded; the signal's arguments are not needed.
template <class Handler> auto Guarded(MessageSink &messages, Handler handler)
{
    return [&messages, handler]() { RunGuarded(messages, handler); };
}

} // namespace tavro
