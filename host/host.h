/*
 * The host interface: everything the modeler hands a command module and
 * everything a module may call back.  Plain C, usable from C and C++.
 *
 * A host loads the module file, reads `_mod_descrip`, calls `startup`, runs a
 * server's `activate` once per use of the command, and finally calls
 * `shutdown` with start-up's value before it unloads the module.  Every
 * service a module uses is fetched by name through the `GlobalFunc` handed to
 * `activate`; a missing service answers null.
 *
 * Member order and types below are binding: a host written from these
 * declarations alone can load and drive any module built against them.
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

/* Looks a service up by name; useMode 0 is transient use.  Returns the
 * service's table, or null when the host does not offer it. */
typedef void *GlobalFunc(const char *serviceName, int32_t useMode);

/* One server of a module.  The list ends with a record of three nulls. */
typedef struct ServerRecord {
    const char *className; /* host class, e.g. "CommandSequence" */
    const char *name;      /* server name */
    /* One use of the server.  version: the interface version; global: the
     * service look-up; local: the class's context (CommandContext for a
     * command); serverData: start-up's value.  Returns a result code. */
    int32_t (*activate)(int32_t version, GlobalFunc *global, void *local, void *serverData);
} ServerRecord;

/* The one exported record of a module file. */
typedef struct ModuleDescriptor {
    uint32_t sysSync;    /* HOST_SYNC_WORD */
    uint32_t sysVersion; /* HOST_DESCRIPTOR_VERSION */
    uint32_t sysMachine; /* HOST_MACHINE */
    void *(*startup)(void);               /* called once after loading */
    void (*shutdown)(void *serverData);   /* called with start-up's value */
    const ServerRecord *serverDefs;       /* null-terminated server list */
} ModuleDescriptor;

/* ---- result codes of an activation ------------------------------------ */

#define HOST_RESULT_OK 0          /* success, or a failure already shown */
#define HOST_RESULT_BAD_VERSION 1 /* unsupported interface version */
#define HOST_RESULT_BAD_GLOBAL 2  /* a service or the mesh edit missing */

/* ---- "Info Messages" --------------------------------------------------- */

#define HOST_MESSAGE_SERVICE "Info Messages"

/* Shows a message to the user: line1 is the text, line2 an optional second
 * line (null when there is none). */
typedef struct MessageServices {
    void (*info)(const char *line1, const char *line2);
    void (*error)(const char *line1, const char *line2);
} MessageServices;

/* ---- "Host Display Info" ---------------------------------------------- */

#define HOST_DISPLAY_SERVICE "Host Display Info"

typedef struct HostDisplayInfo {
    void *instance;
    void *window;
    void *display;
} HostDisplayInfo;

/* ---- "LWPanelServices" ------------------------------------------------- */

#define HOST_PANEL_SERVICE "LWPanelServices"

/* Screen measurements in pixels; width and height are the screen's. */
typedef struct DisplayMetrics {
    int32_t width, height, pixelsX, pixelsY, maxColors, depth, textHeight, textAscent;
} DisplayMetrics;

typedef struct DrawServices {
    const DisplayMetrics *(*displayMetrics)(void);
} DrawServices;

/* Control descriptor kinds. */
#define HOST_CONTROL_STRING 1
#define HOST_CONTROL_BOOLEAN 8
#define HOST_CONTROL_CHOICE 9

typedef struct ControlDesc {
    int32_t kind;              /* HOST_CONTROL_* */
    const char *const *items;  /* choice: null-terminated item list; else null */
    int32_t width;             /* string and choice; else 0 */
} ControlDesc;

/* Value record kinds. */
#define HOST_VALUE_INTEGER 0
#define HOST_VALUE_TEXT 1
#define HOST_VALUE_POINTER 2

/* One value travelling to or from a control.  Switches and indexes travel in
 * `integer` with kind 0; texts use kind 1: on set, `text` holds the text and
 * `textLength` its length; on get, `text` is a buffer and `textLength` the
 * size offered, and the host writes the text zero-terminated within it. */
typedef struct Value {
    int32_t kind;
    int32_t integer;
    void *pointer;
    char *text;
    int32_t textLength;
} Value;

/* Control tags. */
#define HOST_TAG_VALUE 4
#define HOST_TAG_EVENT 14
#define HOST_TAG_EVENT_DATA 16

/* Draw modes. */
#define HOST_DRAW_NORMAL 1
#define HOST_DRAW_GHOSTED 2

/* A control on a panel.  A host may keep its own data after these three. */
typedef struct Control Control;
struct Control {
    void (*draw)(Control *control, int32_t mode);
    void (*get)(Control *control, int32_t tag, Value *value);
    void (*set)(Control *control, int32_t tag, Value *value);
};

/* Called by the host when the user changes a control; travels in
 * Value.pointer with HOST_TAG_EVENT. */
typedef void ControlEvent(Control *control, void *userData);

typedef struct Panel Panel; /* opaque */

/* Panel tags. */
#define HOST_PANEL_LEFT 0
#define HOST_PANEL_TOP 1
#define HOST_PANEL_WIDTH 2
#define HOST_PANEL_HEIGHT 3

/* Open flags: blocking, with OK and Cancel, framed. */
#define HOST_PANEL_OPEN_MODAL 7

typedef struct PanelServices PanelServices;
struct PanelServices {
    /* Creates a panel; null when the host cannot. */
    Panel *(*create)(const char *title, PanelServices *services);
    void (*destroy)(Panel *panel);
    /* Shows the panel until the user closes it: nonzero OK, 0 Cancel. */
    int32_t (*open)(Panel *panel, int32_t flags);
    void (*get)(Panel *panel, int32_t tag, int32_t *value);
    void (*set)(Panel *panel, int32_t tag, const int32_t *value);
    /* Adds a control of the named kind ("FileControl", "PopupControl",
     * "BoolControl") below the ones before it. */
    Control *(*addControl)(Panel *panel, const char *kind, const ControlDesc *desc, const char *label);
    const DrawServices *drawFuncs;
    GlobalFunc *globalFun; /* written by the module before its first control */
};

/* ---- the mesh edit ----------------------------------------------------- */

typedef struct HostPoint *PointId;     /* opaque; compared for equality only */
typedef struct HostPolygon *PolygonId; /* opaque; compared for equality only */

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

/* Called once per polygon by polyScan: 0 goes on, nonzero stops the scan. */
typedef int32_t PolyScanFunc(void *userData, const PolygonInfo *polygon);

/* Layer selection of polyScan: the foreground layers. */
#define HOST_LAYERS_FOREGROUND 1
/* Error code a scan callback returns to stop the scan. */
#define HOST_SCAN_STOP 5

typedef struct MeshEditOp {
    void *state; /* passed first to every operation */
    /* Calls scan for every polygon of the selected layers; returns the first
     * nonzero answer of scan, else 0. */
    int32_t (*polyScan)(void *state, PolyScanFunc *scan, void *userData, int32_t layerMode);
    /* The point's record, valid until the next call; null if unknown. */
    const PointInfo *(*pointInfo)(void *state, PointId point);
    /* Ends the edit; error 0 with selectionMode 0 changes nothing. */
    void (*done)(void *state, int32_t error, int32_t selectionMode);
} MeshEditOp;

/* The `local` argument of a command server's activation. */
typedef struct CommandContext {
    void *data;
    const char *argument;
    /* Begins a mesh edit; null when the host refuses it. */
    MeshEditOp *(*editBegin)(int32_t pointBuffer, int32_t polygonBuffer, int32_t selectionMode);
} CommandContext;

#ifdef __cplusplus
}
#endif

#endif /* SPINDLE_HOST_H */
