#pragma once
// Dialog templates as data: the controls of a rollout (kind, id, caption, group, placement in
// dialog units), written in a small text format and registered with the module that owns them,
// the way a module's string table is.

#include "host/Window.h"

#include <memory>
#include <string>
#include <vector>

/// One control line of a template.
struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    /// Control id; -1 for statics and group boxes nobody addresses.
    int id = -1;
    MSTR caption;
    /// Id of the group box the control sits in (-1: none).
    int group = -1;
    DialogRect rect;
    bool hidden = false;
    bool disabled = false;
    /// List box with several selectable items.
    bool multiSelect = false;
    /// Custom button of check type.
    bool checkType = false;
    /// Line in the source text (for messages).
    int line = 0;
};

/// One dialog: size in dialog units and its controls in creation order.
struct DialogTemplate {
    int id = 0;
    int width = 0;
    int height = 0;
    std::vector<ControlTemplate> controls;
    /// Source name and line of the "dialog" line (for messages).
    std::string source;
    int line = 0;
};

/// Parses dialog templates in our text format (see resources/QX_Dialogs.txt):
///   dialog ID WIDTH HEIGHT             starts a dialog
///   group ID X Y W H "caption"         a group box; the controls up to "endgroup" sit in it
///   endgroup
///   KIND ID X Y W H ["caption"] [hidden] [disabled] [multi] [check]
/// with KIND one of button, checkbox, edit, spinner, combo, list, static. Empty lines and lines
/// starting with '#' are comments. Captions are UTF-8 in double quotes (\" and \\ escape).
/// Refused, with a message naming `sourceName` and the line: unknown keywords or flags, missing
/// or non-numeric fields, sizes that are not positive, a control outside any dialog or outside
/// its dialog's area, a control id used twice in one dialog, a dialog id used twice, an unclosed
/// group or caption. On failure `out` is left unchanged.
bool ParseDialogTemplates(const std::string& text, const std::string& sourceName,
                          std::vector<DialogTemplate>& out, std::string* error);

/// Parses templates and registers them with a module (a template id already registered is
/// replaced). False, and nothing registered, when the text has an error.
bool AddDialogResources(HINSTANCE instance, const std::string& text, const std::string& sourceName,
                        std::string* error);
/// Dialog template `id` of a module, or null.
const DialogTemplate* FindDialogTemplate(HINSTANCE instance, int id);

/// A dialog window with the template's controls (custom buttons of check type where marked,
/// hidden and disabled as marked). Owned by the caller.
std::unique_ptr<HostWindow> CreateDialogFromTemplate(const DialogTemplate& dialog);
