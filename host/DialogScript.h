#pragma once
// The scripting surface of the open rollouts, for tests, the application and the studio: find a
// rollout by title and a control by id, read a control's state, act as the user would, and take
// a plain snapshot of everything open.
//
// Actions are checked when they are made (the rollout is open, the control exists, has the
// right kind and is enabled) and then posted to the host's message loop: they take effect when
// the loop delivers its posted messages (MessageLoop::DeliverPosted, RunTicks, RunUntil, Run),
// in posting order, between timer ticks. An action whose rollout closed or whose control was
// disabled meanwhile is dropped at delivery. Hidden controls can be driven (as a program can
// send a hidden button a click); the studio does not show them.

#include "host/Rollout.h"

#include <string>
#include <vector>

class Interface;

/// One control's state. Strings are UTF-8.
struct ControlSnapshot {
    int id = 0;
    /// "button", "checkbox", "edit", "spinner", "combo", "list", "static", "group", "unknown".
    std::string kind;
    std::string text;
    int group = -1;
    DialogRect rect;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    /// A custom button of check type or a check box.
    bool checkButton = false;
    bool focused = false;
    /// Spinners: value, limits, step and "float", "int" or "world".
    double value = 0.0;
    double minValue = 0.0;
    double maxValue = 0.0;
    float scale = 0.0f;
    std::string units;
    /// The id of a spinner's edit field or an edit field's spinner (0: none).
    int linked = 0;
    /// List and combo boxes: items, selected indices (ascending), the current selection.
    std::vector<std::string> items;
    std::vector<int> selection;
    int curSel = -1;
    bool multiSelect = false;
    /// Custom buttons: the image shown now (-1: none), its size, highlight colour.
    int image = -1;
    int imageWidth = 0;
    int imageHeight = 0;
    bool hasHighlight = false;
    COLORREF highlight = 0;
};

/// One open rollout with its controls in template order.
struct RolloutSnapshot {
    int serial = 0;
    std::string title;
    /// The class name of the edited object.
    std::string owner;
    int dialogId = 0;
    int map = 0;
    bool rolledUp = false;
    int width = 0;
    int height = 0;
    std::vector<ControlSnapshot> controls;
};

/// The state of one control.
ControlSnapshot SnapshotControl(const HostWindow& control);
/// Every open rollout, in opening order.
std::vector<RolloutSnapshot> SnapshotRollouts(const RolloutList& rollouts);
/// The snapshot as one JSON document: {"rollouts":[{...,"controls":[{...}]}]}.
std::string SnapshotToJson(const std::vector<RolloutSnapshot>& rollouts);

/// Drives the open rollouts of an Interface as a user would.
class DialogScript {
public:
    explicit DialogScript(Interface& ip) : m_ip(ip) {}

    /// The window of the first open rollout titled `title` (of `owner` when not null), or null.
    HWND FindRollout(const MCHAR* title, ReferenceMaker* owner = nullptr) const;
    /// Control `id` of an open rollout, or null.
    HWND FindControl(HWND rollout, int id) const;
    /// The state of control `id` (kind "unknown", id 0 when there is no such control).
    ControlSnapshot Read(HWND rollout, int id) const;

    /// Clicks a button or check box (a check type toggles).
    bool Click(HWND rollout, int id, std::string* error = nullptr);
    /// Sets a spinner as if dragged to `value` (clamped to its limits).
    bool SetSpinner(HWND rollout, int id, double value, std::string* error = nullptr);
    /// Selects item `index` of a list box; with `extend` a multi-selection list keeps the other
    /// selected items and toggles this one.
    bool SelectListItem(HWND rollout, int id, int index, bool extend = false,
                        std::string* error = nullptr);
    /// Double-clicks item `index` of a list box (selects it, then LBN_DBLCLK).
    bool DoubleClick(HWND rollout, int id, int index, std::string* error = nullptr);
    /// Types `text` into an edit field (focusing it first) and enters it. In a spinner's edit
    /// field the text is read as a number and clamped to the spinner's limits; text that is
    /// not a number leaves the value as it was.
    bool TypeText(HWND rollout, int id, const MCHAR* text, std::string* error = nullptr);
    /// Selects entry `index` of a combo box.
    bool SelectComboItem(HWND rollout, int id, int index, std::string* error = nullptr);
    /// Gives edit field `id` the keyboard focus (0: takes the focus from the rollout's fields).
    bool Focus(HWND rollout, int id, std::string* error = nullptr);

private:
    /// Checks the rollout and control and returns the control, or null with `error` set.
    HostWindow* Target(HWND rollout, int id, std::initializer_list<ControlKind> kinds,
                       std::string* error) const;
    /// Posts `action` for the control, looked up again at delivery.
    void Post(HWND rollout, int id, std::function<void(Rollout&, HostWindow&)> action);

    Interface& m_ip;
};
