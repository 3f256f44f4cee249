#pragma once
// Interactive creation, headless: the user's clicks and drags in a view become the mouse messages
// an object's create callback receives, and the new node is built around it.

#include "host/Interface.h"

#include <string>
#include <vector>

/// One mouse message of a creation gesture: MOUSE_POINT, MOUSE_MOVE, MOUSE_FREEMOVE or
/// MOUSE_ABORT at a screen position. The point index is counted by the driver (the number of
/// points clicked so far).
struct CreationEvent {
    int msg = MOUSE_POINT;
    IPoint2 pos;
    int flags = 0;
};

/// The messages of a press at `from`, a drag through `via` and a release at `to`: a point, the
/// moves, then a second point.
std::vector<CreationEvent> ClickDragGesture(IPoint2 from, std::vector<IPoint2> via, IPoint2 to);

/// Creates an object of a registered class interactively in `view`: a node is made for the new
/// object first (its transform follows the creation matrix), then every event goes to the
/// object's create callback. CREATE_STOP ends creation and returns the node; CREATE_ABORT, a
/// refused view or events that end before the callback stops delete the node and return null.
/// `error` names the reason of a null result.
INode* CreateInteractively(Interface& ip, SClass_ID sclass, Class_ID cid, ViewExp& view,
                           const std::vector<CreationEvent>& events, std::string* error = nullptr);
