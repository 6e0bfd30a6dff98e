// The options panel, built through the host's panel services alone.  Values
// travel between the stored options and the controls at three moments: the
// load before the panel opens, the read-back on OK, and the late read-back of
// each path right where the run uses it.
#include "module/panel/panel.h"

#include <cstring>

#include "module/services/services.h"

namespace spindle {

Options options;
char sceneFilePath[kPathSize];
char objectFilePath[kPathSize];

const char *const colorNames[kColorCount + 1] = {
    "Blue", "Green", "Cyan", "Red", "Purple", "Yellow", "White", nullptr,
};

namespace {

// The controls in creation order; the numbers are the panel's own (1..10).
enum ControlNumber {
    kSceneFile = 1,
    kObjectFile,
    kBoneColor,
    kUseSurfaceName,
    kActivateBone,
    kCreateGoalObject,
    kGoalColor,
    kSkipGoalOnNgSuffix,
    kCreateGoalBone,
    kOptimizeGoalParent,
    kControlCount = kOptimizeGoalParent,
};

constexpr const char *kTitle = "Spindle ver 1.53i for LW[6]  by Vant";

// The per-run panel state: handles and the two value records, set afresh
// by every run.
Panel *panel = nullptr;
Control *controls[kControlCount + 1];
Value integerValue;
Value textValue;

// The integer options in the order the panel loads and reads them back.
struct IntegerControl {
    ControlNumber control;
    int32_t Options::*option;
};
constexpr IntegerControl kIntegerOrder[] = {
    {kBoneColor, &Options::boneColor},
    {kGoalColor, &Options::goalColor},
    {kActivateBone, &Options::activateBone},
    {kCreateGoalObject, &Options::createGoalObject},
    {kOptimizeGoalParent, &Options::optimizeGoalParent},
    {kSkipGoalOnNgSuffix, &Options::skipGoalOnNgSuffix},
    {kCreateGoalBone, &Options::createGoalBone},
    {kUseSurfaceName, &Options::useSurfaceName},
};

// The four goal controls in the order they are drawn.
constexpr ControlNumber kGoalControls[] = {kOptimizeGoalParent, kGoalColor, kSkipGoalOnNgSuffix, kCreateGoalBone};

void drawGoalControls(int32_t mode) {
    for (ControlNumber number : kGoalControls)
        controls[number]->draw(controls[number], mode);
}

void setInteger(ControlNumber number, int32_t value) {
    integerValue = Value{};
    integerValue.kind = HOST_VALUE_INTEGER;
    integerValue.integer = value;
    controls[number]->set(controls[number], HOST_TAG_VALUE, &integerValue);
}

int32_t getInteger(ControlNumber number) {
    integerValue = Value{};
    integerValue.kind = HOST_VALUE_INTEGER;
    controls[number]->get(controls[number], HOST_TAG_VALUE, &integerValue);
    return integerValue.integer;
}

void setText(ControlNumber number, char *path) {
    textValue = Value{};
    textValue.kind = HOST_VALUE_TEXT;
    textValue.text = path;
    textValue.textLength = static_cast<int32_t>(std::strlen(path));
    controls[number]->set(controls[number], HOST_TAG_VALUE, &textValue);
}

// Reads a path control's text into its buffer; with no panel the stored
// path stays as it is.
const char *readPath(ControlNumber number, char *path) {
    if (!panel)
        return path;
    textValue = Value{};
    textValue.kind = HOST_VALUE_TEXT;
    textValue.text = path;
    textValue.textLength = kPathSize - 1;
    controls[number]->get(controls[number], HOST_TAG_VALUE, &textValue);
    path[kPathSize - 1] = '\0';
    return path;
}

// Adds the ten controls; false when the host refused any of them.
bool addControls(PanelServices *services) {
    static const ControlDesc pathDesc = {HOST_CONTROL_STRING, nullptr, 64};
    static const ControlDesc colorDesc = {HOST_CONTROL_CHOICE, colorNames, 80};
    static const ControlDesc switchDesc = {HOST_CONTROL_BOOLEAN, nullptr, 0};
    struct ControlSpec {
        const char *kind;
        const ControlDesc *desc;
        const char *label;
    };
    static const ControlSpec specs[kControlCount] = {
        {"FileControl", &pathDesc, "Scene File "},
        {"FileControl", &pathDesc, "Object File"},
        {"PopupControl", &colorDesc, "Bone color"},
        {"BoolControl", &switchDesc, "Use surface name for Bone name"},
        {"BoolControl", &switchDesc, "Activate Bone"},
        {"BoolControl", &switchDesc, "Create Goal object (Name : \"<Bone name>_Goal\")"},
        {"PopupControl", &colorDesc, "Goal color"},
        {"BoolControl", &switchDesc, "Don't create goal if surface name has \"_NG\" suffix"},
        {"BoolControl", &switchDesc, "Create 'Goal bone'"},
        {"BoolControl", &switchDesc, "Optimize goal's parent"},
    };
    for (int number = 1; number <= kControlCount; ++number) {
        const ControlSpec &spec = specs[number - 1];
        controls[number] = services->addControl(panel, spec.kind, spec.desc, spec.label);
        if (!controls[number])
            return false;
    }
    return true;
}

void registerGoalToggle() {
    Control *toggle = controls[kCreateGoalObject];
    Value value{};
    value.kind = HOST_VALUE_POINTER;
    value.pointer = nullptr;
    toggle->set(toggle, HOST_TAG_EVENT_DATA, &value);
    value.pointer = reinterpret_cast<void *>(&goalToggleEvent);
    toggle->set(toggle, HOST_TAG_EVENT, &value);
}

void centre(PanelServices *services, int32_t screenWidth, int32_t screenHeight) {
    int32_t width = 0;
    int32_t height = 0;
    services->get(panel, HOST_PANEL_WIDTH, &width);
    services->get(panel, HOST_PANEL_HEIGHT, &height);
    const int32_t left = (screenWidth - width) / 2;
    const int32_t top = (screenHeight - height) / 2;
    services->set(panel, HOST_PANEL_LEFT, &left);
    services->set(panel, HOST_PANEL_TOP, &top);
}

} // namespace

PanelOutcome runPanel(GlobalFunc *global) {
    PanelServices *services = host.panels;
    panel = services->create(kTitle, services);
    if (!panel)
        return PanelOutcome::NotCreated;

    const DisplayMetrics *metrics =
        services->drawFuncs && services->drawFuncs->displayMetrics ? services->drawFuncs->displayMetrics() : nullptr;
    const int32_t screenWidth = metrics ? metrics->width : 0;
    const int32_t screenHeight = metrics ? metrics->height : 0;

    services->globalFun = global;
    // A panel without all its controls cannot be run; destroyPanel ends it.
    if (!addControls(services))
        return PanelOutcome::NotCreated;
    registerGoalToggle();
    if (options.createGoalObject == 0)
        drawGoalControls(HOST_DRAW_GHOSTED);
    centre(services, screenWidth, screenHeight);

    setText(kSceneFile, sceneFilePath);
    setText(kObjectFile, objectFilePath);
    for (const IntegerControl &entry : kIntegerOrder)
        setInteger(entry.control, options.*entry.option);

    if (services->open(panel, HOST_PANEL_OPEN_MODAL) == 0)
        return PanelOutcome::Cancelled;

    Options confirmed = options;
    for (const IntegerControl &entry : kIntegerOrder)
        confirmed.*entry.option = getInteger(entry.control);
    options = confirmed;
    return PanelOutcome::Confirmed;
}

const char *readScenePath() { return readPath(kSceneFile, sceneFilePath); }

const char *readObjectPath() { return readPath(kObjectFile, objectFilePath); }

void destroyPanel() {
    if (!panel)
        return;
    host.panels->destroy(panel);
    panel = nullptr;
    for (Control *&control : controls)
        control = nullptr;
}

void goalToggleEvent(Control * /*control*/, void * /*userData*/) {
    drawGoalControls(getInteger(kCreateGoalObject) != 0 ? HOST_DRAW_NORMAL : HOST_DRAW_GHOSTED);
}

} // namespace spindle
