/*
 * The host interface: everything the modeler hands a command module and
 * everything a module may call back.  Plain C (C99 or later), usable from C
 * and C++; it includes nothing but <stdint.h>.
 *
 * A host loads the module file, reads `_mod_descrip`, calls `startup`, runs a
 * server's `activate` once per use of the command, and finally calls
 * `shutdown` with start-up's value before it unloads the module.  Every
 * service a module uses is fetched by name through the `GlobalFunc` handed to
 * `activate`; a missing service answers null.
 *
 * Member order and types below are binding: a host written from these
 * declarations alone can load and drive any module built against them.
 *
 * Threads and lifetimes.  Everything happens on the host's thread.  Every
 * call a module makes into the host, and every callback the host makes into
 * the module (the scan callback, a control's event function), happens
 * inside one `activate` call: no table, panel, control or mesh edit handed
 * out during a run may be used after `activate` returns.  Texts handed to
 * the host (titles, labels, item lists, values) are the caller's: the host
 * copies what it keeps beyond the call.  Texts the host hands out stay valid
 * as each member says.  Units: positions are model units (doubles), panel
 * positions and sizes are pixels.
 */
#ifndef SPINDLE_HOST_H
#define SPINDLE_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- module descriptor ------------------------------------------------ */
#define HOST_SYNC_WORD 0x04121994u /* ModuleDescriptor.sysSync */
#define HOST_DESCRIPTOR_VERSION 3u /* ModuleDescriptor.sysVersion */
#define HOST_MACHINE 0x300u        /* ModuleDescriptor.sysMachine */
#define HOST_DESCRIPTOR_SYMBOL "_mod_descrip"

/* Interface versions a module of this interface accepts in `activate`:
 * HOST_VERSION_MIN to HOST_VERSION_MAX.  Any other version is answered with
 * HOST_RESULT_BAD_VERSION before any service is asked for. */
#define HOST_VERSION_MIN 0
#define HOST_VERSION_MAX 1

/* Looks a service up by name; useMode 0 is transient use (the module never
 * releases a service).  Returns the service's table, valid until `activate`
 * returns, or null when the host does not offer it. */
typedef void *GlobalFunc(const char *serviceName, int32_t useMode);

/* One server of a module.  The list ends with a record of three nulls. */
typedef struct ServerRecord {
    const char *className; /* host class, e.g. "CommandSequence" */
    const char *name;      /* server name */
    /* One use of the server.  version: the interface version; global: the
     * service look-up; local: the class's context (CommandContext for a
     * command; the module treats null as a refused mesh edit); serverData:
     * start-up's value.  Returns a HOST_RESULT_* code. */
    int32_t (*activate)(int32_t version, GlobalFunc *global, void *local, void *serverData);
} ServerRecord;

/* The one exported record of a module file. */
typedef struct ModuleDescriptor {
    uint32_t sysSync;                   /* HOST_SYNC_WORD */
    uint32_t sysVersion;                /* HOST_DESCRIPTOR_VERSION */
    uint32_t sysMachine;                /* HOST_MACHINE */
    void *(*startup)(void);             /* called once after loading */
    void (*shutdown)(void *serverData); /* called with start-up's value */
    const ServerRecord *serverDefs;     /* null-terminated server list */
} ModuleDescriptor;

/* ---- result codes of an activation ------------------------------------ */
#define HOST_RESULT_OK 0          /* success, or a failure already shown */
#define HOST_RESULT_BAD_VERSION 1 /* unsupported interface version */
#define HOST_RESULT_BAD_GLOBAL 2  /* a service or the mesh edit missing */

/* ---- "Info Messages" --------------------------------------------------- */
#define HOST_MESSAGE_SERVICE "Info Messages"

/* Shows a message to the user: line1 is the text, line2 an optional second
 * line (null when there is none; this module always passes null).  Both are
 * valid only for the call.  A message may hold any bytes a path or a
 * surface name holds, line breaks included: a host that prints it on one
 * line escapes them. */
typedef struct MessageServices {
    void (*info)(const char *line1, const char *line2);
    void (*error)(const char *line1, const char *line2);
} MessageServices;

/* ---- "Host Display Info" ---------------------------------------------- */
#define HOST_DISPLAY_SERVICE "Host Display Info"

/* The module asks for it and tests it for presence only. */
typedef struct HostDisplayInfo {
    void *instance;
    void *window;
    void *display;
} HostDisplayInfo;

/* ---- "LWPanelServices" ------------------------------------------------- */
#define HOST_PANEL_SERVICE "LWPanelServices"

/* Screen measurements; width and height are the screen's, in pixels.  The
 * module reads only those two. */
typedef struct DisplayMetrics {
    int32_t width, height, pixelsX, pixelsY, maxColors, depth, textHeight, textAscent;
} DisplayMetrics;

typedef struct DrawServices {
    /* The measurements, valid until `activate` returns.  May be null (as may
     * the member itself): the module then centres its panel on a screen of
     * 0 by 0 pixels, which puts the panel's top left corner off the screen
     * by half its size, and the host may place it anyway. */
    const DisplayMetrics *(*displayMetrics)(void);
} DrawServices;

/* Control descriptor kinds. */
#define HOST_CONTROL_STRING 1
#define HOST_CONTROL_BOOLEAN 8
#define HOST_CONTROL_CHOICE 9

/* A control's kind and size.  Valid only for the addControl call. */
typedef struct ControlDesc {
    int32_t kind;             /* HOST_CONTROL_* */
    const char *const *items; /* choice: null-terminated item list; else null */
    /* String: the width of the text field in half-character cells (64 is a
     * field of 32 characters); choice: the width of the popup in pixels;
     * boolean: 0.  The host may treat it as a hint. */
    int32_t width;
} ControlDesc;

/* Value record kinds. */
#define HOST_VALUE_INTEGER 0
#define HOST_VALUE_TEXT 1
#define HOST_VALUE_POINTER 2

/* One value travelling to or from a control.  Switches (0 off, else on) and
 * choice indexes (0 for the first item) travel in `integer` with kind 0;
 * event functions and event data in `pointer` with kind 2; texts use kind 1:
 * on set, `text` holds the text and `textLength` its length in bytes
 * without a terminator (the host copies it); on get, `text` is a buffer and
 * `textLength` the size offered, terminator included, and the host writes
 * at most textLength - 1 bytes of the control's text and a zero.  A text
 * longer than that is cut: a module that offers 1023 bytes receives at most
 * 1022, so a host should keep longer texts from reaching the control. */
typedef struct Value {
    int32_t kind;
    int32_t integer;
    void *pointer;
    char *text;
    int32_t textLength;
} Value;

/* Control tags.  `get` answers HOST_TAG_VALUE; `set` takes all three.  The
 * module sets HOST_TAG_EVENT_DATA before HOST_TAG_EVENT. */
#define HOST_TAG_VALUE 4
#define HOST_TAG_EVENT 14
#define HOST_TAG_EVENT_DATA 16

/* Draw modes. */
#define HOST_DRAW_NORMAL 1
#define HOST_DRAW_GHOSTED 2

/* A control on a panel, valid until its panel is destroyed.  A host may
 * keep its own data after these three members. */
typedef struct Control Control;
struct Control {
    void (*draw)(Control *control, int32_t mode);
    void (*get)(Control *control, int32_t tag, Value *value);
    void (*set)(Control *control, int32_t tag, Value *value);
};

/* Called by the host when the user changes a control, from within `open`,
 * with the control and the event data set for it; travels in Value.pointer
 * with HOST_TAG_EVENT. */
typedef void ControlEvent(Control *control, void *userData);

typedef struct Panel Panel; /* opaque */

/* Panel tags: `set` takes LEFT and TOP, `get` answers WIDTH and HEIGHT
 * (pixels). */
#define HOST_PANEL_LEFT 0
#define HOST_PANEL_TOP 1
#define HOST_PANEL_WIDTH 2
#define HOST_PANEL_HEIGHT 3

/* Open flags, a bit set: 1 blocking (open returns when the user closes
 * the panel), 2 with OK and Cancel buttons, 4 framed.  The module opens
 * with all three. */
#define HOST_PANEL_OPEN_BLOCKING 1
#define HOST_PANEL_OPEN_CANCEL 2
#define HOST_PANEL_OPEN_FRAME 4
#define HOST_PANEL_OPEN_MODAL 7

typedef struct PanelServices PanelServices;
struct PanelServices {
    /* Creates a panel with the title (copied); services is this table.
     * Null when the host cannot; the module then shows "Couldn't create
     * dialog!". */
    Panel *(*create)(const char *title, PanelServices *services);
    /* Ends the panel and its controls.  The module destroys every panel it
     * created exactly once, on every way out of the run. */
    void (*destroy)(Panel *panel);
    /* Shows the panel (HOST_PANEL_OPEN_* flags) until the user closes it:
     * nonzero OK, 0 Cancel.  The panel stays in existence after it closes,
     * and its controls keep their values. */
    int32_t (*open)(Panel *panel, int32_t flags);
    void (*get)(Panel *panel, int32_t tag, int32_t *value);
    void (*set)(Panel *panel, int32_t tag, const int32_t *value);
    /* Adds a control of the named kind ("FileControl", "PopupControl",
     * "BoolControl") with its label (copied) below the ones before it.
     * Null when the host refuses the control: the module then destroys the
     * panel, shows "Couldn't create dialog!" and ends the run. */
    Control *(*addControl)(Panel *panel, const char *kind, const ControlDesc *desc, const char *label);
    const DrawServices *drawFuncs; /* may be null; see DrawServices */
    GlobalFunc *globalFun;         /* written by the module before its first control */
};

/* ---- the mesh edit ----------------------------------------------------- */
typedef struct HostPoint *PointId;     /* opaque; compared for equality only */
typedef struct HostPolygon *PolygonId; /* opaque; compared for equality only */

/* A point's record as pointInfo hands it out. */
typedef struct PointInfo {
    PointId point;
    void *userData;
    int32_t layer;
    int32_t flags;
    double position[3];
} PointInfo;

/* Polygon flags. */
#define HOST_POLY_SELECTED 1
#define HOST_POLY_START_CONTROL 8

/* Polygon type of a curve: 'C','U','R','V' with C in the high byte. */
#define HOST_POLY_CURVE 0x43555256u

/* A polygon as polyScan hands it to the scan callback.  The record, its
 * `points` array (numPoints ids; null or empty when numPoints is 0) and its
 * `surface` name are valid only during that one callback: a module copies
 * what it keeps. */
typedef struct PolygonInfo {
    PolygonId polygon;
    void *userData;
    int32_t layer;
    int32_t flags;
    int32_t numPoints;
    const PointId *points;
    const char *surface;
    uint32_t type;
} PolygonInfo;

/* Called once per polygon by polyScan, in the host's order (foreground
 * layers in ascending number, polygons in file order): 0 goes on, nonzero
 * stops the scan. */
typedef int32_t PolyScanFunc(void *userData, const PolygonInfo *polygon);

/* Layer selection of polyScan: the foreground layers. */
#define HOST_LAYERS_FOREGROUND 1
/* The code this module's scan callback returns to stop the scan after it
 * has shown why (a closed curve, too many curves, an unreadable point, no
 * memory); polyScan hands it back and the run ends without a scene. */
#define HOST_SCAN_STOP 5

typedef struct MeshEditOp {
    void *state; /* passed first to every operation */
    /* Calls scan for every polygon of the selected layers; returns the first
     * nonzero answer of scan, else 0. */
    int32_t (*polyScan)(void *state, PolyScanFunc *scan, void *userData, int32_t layerMode);
    /* The point's record, valid until the next pointInfo call or the end of
     * the edit; null for a point the host does not know (the module then
     * shows "Can't read a curve point." and stops the scan).  The module
     * calls it only while the scan runs. */
    const PointInfo *(*pointInfo)(void *state, PointId point);
    /* Ends the edit: error 0 keeps nothing the module did (it changes
     * nothing anyway), selectionMode 0 leaves the selection as it was.
     * Called once, right after the scan, whatever it returned. */
    void (*done)(void *state, int32_t error, int32_t selectionMode);
} MeshEditOp;

/* The `local` argument of a command server's activation. */
typedef struct CommandContext {
    void *data;
    const char *argument;
    /* Begins a mesh edit, valid until its `done`.  pointBuffer and
     * polygonBuffer: bytes of module data to keep with each point and each
     * polygon (the module asks for 0: none); selectionMode 1: the edit works
     * on the user's selection.  Null when the host refuses the edit; the
     * module then shows "Cannot mesh edit!" and answers
     * HOST_RESULT_BAD_GLOBAL. */
    MeshEditOp *(*editBegin)(int32_t pointBuffer, int32_t polygonBuffer, int32_t selectionMode);
} CommandContext;

#ifdef __cplusplus
}
#endif

#endif /* SPINDLE_HOST_H */
