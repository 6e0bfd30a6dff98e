// The stand-in modeler's core: a module loader and everything a host serves
// a command module (the global function, "Info Messages", "Host Display
// Info", "LWPanelServices" with real panels and controls, the command
// context and a mesh edit over an in-memory model), with a transcript of
// every call the module makes into the host.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/host.h"
#include "standin/mesh.h"

namespace standin {

// ---- the module loader ----------------------------------------------------

// A loaded module file with its command server started.
struct Module {
    void *handle = nullptr;
    const ModuleDescriptor *descriptor = nullptr;
    const ServerRecord *server = nullptr;  // the "CommandSequence" server "Vant_Spindle"
    void *serverData = nullptr;            // start-up's value
};

// Opens the module file, checks its descriptor (sync word, version,
// machine), finds the command server and calls start-up.  On failure returns
// false with a one-line reason and leaves nothing loaded.
bool loadModule(const std::string &path, Module &module, std::string &reason);

// Calls shut-down with start-up's value and unloads the module.
void unloadModule(Module &module);

// ---- the host ---------------------------------------------------------------

// A user's edit on the open panel: sets control `control` (1..n in creation
// order) to a number or a text, firing its event function as a real change.
struct PanelEdit {
    int control = 0;
    bool isText = false;
    int32_t integer = 0;
    std::string text;
};

struct HostConfig {
    // Services the global function offers.
    bool offerMessages = true;
    bool offerDisplay = true;
    bool offerPanels = true;
    // Failures to play.
    bool refusePanel = false;      // create answers null
    int refuseControl = 0;         // addControl answers null for this control (1..n), 0: none
    bool refuseMeshEdit = false;   // editBegin answers null
    bool refusePointInfo = false;  // pointInfo answers null
    // Messages go to standard output (info) and standard error (error).
    bool echoMessages = true;
    // Keep the transcript in Host::transcript; also stream it here if set.
    bool keepTranscript = true;
    std::ostream *transcriptOut = nullptr;
    DisplayMetrics metrics = {1280, 1024, 1280, 1024, 16777216, 24, 14, 11};
    // The user's answer to the panel: the edits, then OK or Cancel.
    std::vector<PanelEdit> edits;
    bool cancel = false;
    // The model, its foreground layers (empty: every layer) and the
    // surfaces whose polygons are selected (empty: every polygon).
    const Mesh *mesh = nullptr;
    std::vector<int32_t> foreground;
    std::vector<std::string> selectedSurfaces;
};

struct Message {
    bool isError = false;
    std::string text;
};

// What one control holds.
struct ControlState {
    std::string kind;   // "FileControl", "PopupControl", "BoolControl"
    std::string label;
    int32_t descKind = 0;
    int32_t width = 0;
    std::vector<std::string> items;
    int32_t integer = 0;
    std::string text;
    bool ghosted = false;
    ControlEvent *event = nullptr;
    void *eventData = nullptr;
};

// One panel the module created, as it stands.
struct PanelState {
    std::string title;
    std::vector<ControlState> controls;
    std::vector<ControlState> shown;  // the controls as the user saw them at open
    int32_t left = 0, top = 0;
    bool opened = false;
    bool destroyed = false;
};

class Host {
public:
    explicit Host(HostConfig config = {});
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    // Runs the module's command once with this host and returns its result.
    int32_t run(const Module &module, int32_t version = 1);

    HostConfig config;
    std::vector<std::string> transcript;
    std::vector<Message> messages;
    std::vector<std::unique_ptr<PanelState>> panels;  // every panel created, in order
    int meshEditsBegun = 0;
    int meshEditsDone = 0;
    // Labels of the text controls whose text the module read only in part
    // (it offered less room than the text needs), one entry per read.
    std::vector<std::string> textsCut;

    // Implementation state shared with the service functions.
    struct Impl;
    std::unique_ptr<Impl> impl;
    void record(const std::string &line);
};

// The value of a C string for the transcript: quoted with its control bytes
// escaped, or null.
std::string quoted(const char *text);

// The text with CR as \r, LF as \n and every other control byte as \xNN,
// so that it prints as one line.
std::string escapeControls(const std::string &text);

} // namespace standin
