// "Info Messages": each line is kept, recorded and, when asked, printed.
#include "standin/modeler/messages.h"

#include <cassert>
#include <cstdio>

namespace standin {

namespace {

MessageLog *current = nullptr;

void show(bool isError, const char *line1, const char *line2) {
    assert(current != nullptr);
    current->transcript->record(std::string(isError ? "messages.error " : "messages.info ") + quoted(line1) + " " +
                                quoted(line2));
    for (const char *line : {line1, line2}) {
        if (!line)
            continue;
        current->shown.push_back({isError, line});
        if (current->echo) {
            std::FILE *out = isError ? stderr : stdout;
            std::fputs(escapeControls(line).c_str(), out);
            std::fputc('\n', out);
            std::fflush(out);
        }
    }
}

void info(const char *line1, const char *line2) { show(false, line1, line2); }
void error(const char *line1, const char *line2) { show(true, line1, line2); }

const MessageServices kServices = {info, error};

} // namespace

const MessageServices *messageServices(MessageLog &log) {
    current = &log;
    return &kServices;
}

} // namespace standin
