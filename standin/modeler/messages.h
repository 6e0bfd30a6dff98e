// "Info Messages": the module's messages to the user, shown and kept.
#pragma once

#include <string>
#include <vector>

#include "host/host.h"
#include "standin/modeler/transcript.h"

namespace standin {

struct Message {
    bool isError = false;
    std::string text;
};

// Where the messages of one run go.
struct MessageLog {
    bool echo = true;                 // info to standard output, error to standard error
    Transcript *transcript = nullptr; // must be set
    std::vector<Message> shown;       // every line shown, in order
};

// The "Info Messages" table, reporting into `log` until the next call.  An
// echoed message is printed with its control bytes escaped, so that one
// message is always one line.
const MessageServices *messageServices(MessageLog &log);

} // namespace standin
