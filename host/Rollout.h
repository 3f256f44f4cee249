#pragma once
// Open rollouts: one per map of each automatic-interface block of the object being edited. A
// rollout owns its dialog window (made from the module's template) and the parameter map that
// binds it; the host's rollout list owns the rollouts.

#include "host/ClassDesc2.h"
#include "host/DialogTemplate.h"

#include <memory>
#include <string>
#include <vector>

/// One open rollout.
class Rollout : public HostDialogHandler {
public:
    /// Opens a rollout of `block` for `map`: the window from `dialog` (null: an empty window,
    /// into which the bound controls are made), controls bound and showing the block's values.
    /// Missing bound controls are made and reported in `problems`.
    Rollout(int serial, ReferenceMaker* owner, IParamBlock2* block, const RolloutMap& map,
            MSTR title, const DialogTemplate* dialog, std::vector<std::string>* problems);
    /// Closes: WM_DESTROY to the user procedure, which is deleted, then the window goes.
    ~Rollout() override;
    Rollout(const Rollout&) = delete;
    Rollout& operator=(const Rollout&) = delete;

    /// Unique number of this rollout in the process (stable while it is open).
    int Serial() const { return m_serial; }
    const MSTR& Title() const { return m_title; }
    ReferenceMaker* Owner() const { return m_owner; }
    int DialogId() const { return m_dialogId; }
    /// Whether the rollout was opened rolled up ("appended closed").
    bool RolledUp() const { return m_rolledUp; }
    HWND Window() const { return m_window.get(); }
    IParamMap2* Map() const { return m_map.get(); }

    /// Messages to the rollout's window: WM_COMMAND, CC_SPINNER_CHANGE and WM_CUSTEDIT_ENTER
    /// first update the bound parameter, then every message goes to the user procedure.
    INT_PTR HandleDialogMessage(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    /// Makes the controls the block binds on this map but the template lacks.
    void AddMissingBoundControls(const ParamBlockDesc2& desc, MapID map,
                                 std::vector<std::string>* problems);
    /// Applies each binding's control setup: button types, spinner limits and links, combo items,
    /// hidden parameters.
    void SetUpBoundControls(const ParamBlockDesc2& desc, MapID map);

    int m_serial;
    ReferenceMaker* m_owner;
    MSTR m_title;
    int m_dialogId;
    bool m_rolledUp;
    std::unique_ptr<HostWindow> m_window;
    std::unique_ptr<IParamMap2> m_map;
};

/// The host's open rollouts, in opening order. Owned by the Interface.
class RolloutList {
public:
    /// Opens the rollouts of every automatic-interface block of `obj` described by `cd`
    /// (templates and titles from the class's module), in the blocks' rollout order.
    void OpenFor(ClassDesc2& cd, ReferenceMaker* obj);
    /// Closes every rollout of `obj` (last opened first).
    void CloseFor(ReferenceMaker* obj);
    /// Closes every rollout (scene reset).
    void CloseAll();

    int Count() const { return static_cast<int>(m_rollouts.size()); }
    Rollout* Get(int i) const { return m_rollouts[static_cast<size_t>(i)].get(); }
    /// The open rollout with this serial number, or null.
    Rollout* FindBySerial(int serial) const;
    /// The open rollout whose window this is, or null.
    Rollout* FindByWindow(HWND window) const;
    /// The first open rollout with this title (of this owner, when not null), or null.
    Rollout* FindByTitle(const MSTR& title, ReferenceMaker* owner = nullptr) const;
    /// The open map `map` of `block`, or null.
    IParamMap2* FindMap(IParamBlock2* block, MapID map) const;

    /// Shows the values at the new current time in every open rollout.
    void TimeChanged();
    /// What went wrong opening rollouts (missing templates, controls missing from templates).
    const std::vector<std::string>& Problems() const { return m_problems; }
    void ClearProblems() { m_problems.clear(); }

private:
    std::vector<std::unique_ptr<Rollout>> m_rollouts;
    std::vector<std::string> m_problems;
    int m_nextSerial = 1;
};
