#include "host/DialogTemplate.h"

#include "host/Module.h"

#include <cstdlib>
#include <map>

namespace {

const std::map<std::string, ControlKind>& ControlKinds() {
    static const std::map<std::string, ControlKind> kinds = {
        {"button", ControlKind::CustButton}, {"checkbox", ControlKind::CheckBox},
        {"edit", ControlKind::Edit},         {"spinner", ControlKind::Spinner},
        {"combo", ControlKind::ComboBox},    {"list", ControlKind::ListBox},
        {"static", ControlKind::Static},     {"group", ControlKind::GroupBox},
    };
    return kinds;
}

/// Splits a template line into words; a double-quoted caption is one word (kept with its
/// quotes so it can be told from a flag). Empty string on success, else the reason.
std::string Tokenize(const std::string& line, std::vector<std::string>& words) {
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            word += '"';
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    word += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    word += line[i++];
                }
            }
            if (!closed)
                return "unclosed caption";
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(word);
    }
    return {};
}

bool ToInt(const std::string& word, int& value) {
    if (word.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (*end != 0 || v < -100000 || v > 100000)
        return false;
    value = static_cast<int>(v);
    return true;
}

/// The parser's state across lines.
struct TemplateParser {
    std::vector<DialogTemplate> dialogs;
    std::string source;
    int line = 0;
    int openGroup = -1;
    bool inGroup = false;
    int groupLine = 0;

    std::string Dialog(const std::vector<std::string>& w) {
        if (inGroup)
            return "group opened on line " + std::to_string(groupLine) + " is not closed";
        DialogTemplate d;
        if (w.size() != 4 || !ToInt(w[1], d.id) || !ToInt(w[2], d.width) || !ToInt(w[3], d.height))
            return "expected: dialog ID WIDTH HEIGHT";
        if (d.id <= 0 || d.width <= 0 || d.height <= 0)
            return "dialog id and size must be positive";
        for (const DialogTemplate& other : dialogs) {
            if (other.id == d.id)
                return "dialog " + std::to_string(d.id) + " is defined twice (first on line " +
                       std::to_string(other.line) + ")";
        }
        d.source = source;
        d.line = line;
        dialogs.push_back(std::move(d));
        return {};
    }

    std::string Control(const std::vector<std::string>& w) {
        auto kind = ControlKinds().find(w[0]);
        if (kind == ControlKinds().end())
            return "unknown keyword '" + w[0] + "'";
        if (dialogs.empty())
            return "control outside a dialog";
        const DialogTemplate* current = &dialogs.back();
        ControlTemplate c;
        c.kind = kind->second;
        c.line = line;
        if (w.size() < 6 || !ToInt(w[1], c.id) || !ToInt(w[2], c.rect.x) ||
            !ToInt(w[3], c.rect.y) || !ToInt(w[4], c.rect.w) || !ToInt(w[5], c.rect.h))
            return "expected: " + w[0] + " ID X Y W H [\"caption\"] [flags]";
        if (c.rect.w <= 0 || c.rect.h <= 0)
            return "control size must be positive";
        if (c.rect.x < 0 || c.rect.y < 0 || c.rect.x + c.rect.w > current->width ||
            c.rect.y + c.rect.h > current->height)
            return "control lies outside dialog " + std::to_string(current->id) + " (" +
                   std::to_string(current->width) + " x " + std::to_string(current->height) + ")";
        if (c.id != -1) {
            for (const ControlTemplate& other : current->controls) {
                if (other.id == c.id)
                    return "control id " + std::to_string(c.id) + " is used twice in dialog " +
                           std::to_string(current->id) + " (first on line " +
                           std::to_string(other.line) + ")";
            }
        }
        size_t i = 6;
        if (i < w.size() && !w[i].empty() && w[i][0] == '"')
            c.caption = FromUtf8(w[i++].substr(1));
        for (; i < w.size(); ++i) {
            if (w[i] == "hidden")
                c.hidden = true;
            else if (w[i] == "disabled")
                c.disabled = true;
            else if (w[i] == "multi" && c.kind == ControlKind::ListBox)
                c.multiSelect = true;
            else if (w[i] == "check" && c.kind == ControlKind::CustButton)
                c.checkType = true;
            else
                return "unknown flag '" + w[i] + "' for " + w[0];
        }
        c.group = inGroup ? openGroup : -1;
        if (c.kind == ControlKind::GroupBox) {
            if (inGroup)
                return "group inside group (opened on line " + std::to_string(groupLine) + ")";
            inGroup = true;
            openGroup = c.id;
            groupLine = line;
            c.group = -1;
        }
        dialogs.back().controls.push_back(std::move(c));
        return {};
    }

    std::string Line(const std::vector<std::string>& w) {
        if (w[0] == "dialog")
            return Dialog(w);
        if (w[0] == "endgroup") {
            if (!inGroup || w.size() != 1)
                return inGroup ? "expected: endgroup" : "endgroup without group";
            inGroup = false;
            return {};
        }
        return Control(w);
    }
};

} // namespace

bool ParseDialogTemplates(const std::string& text, const std::string& sourceName,
                          std::vector<DialogTemplate>& out, std::string* error) {
    TemplateParser parser;
    parser.source = sourceName;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = sourceName + ":" + std::to_string(parser.line) + ": " + why;
        return false;
    };
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++parser.line;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::vector<std::string> words;
        std::string why = Tokenize(line, words);
        if (why.empty())
            why = parser.Line(words);
        if (!why.empty())
            return fail(why);
    }
    if (parser.inGroup) {
        parser.line = parser.groupLine;
        return fail("group is not closed");
    }
    out = std::move(parser.dialogs);
    return true;
}

bool AddDialogResources(HINSTANCE instance, const std::string& text, const std::string& sourceName,
                        std::string* error) {
    if (!instance) {
        if (error)
            *error = sourceName + ": no module to add dialogs to";
        return false;
    }
    std::vector<DialogTemplate> parsed;
    if (!ParseDialogTemplates(text, sourceName, parsed, error))
        return false;
    for (DialogTemplate& d : parsed)
        instance->dialogs[d.id] = std::move(d);
    return true;
}

const DialogTemplate* FindDialogTemplate(HINSTANCE instance, int id) {
    if (!instance)
        return nullptr;
    auto it = instance->dialogs.find(id);
    return it == instance->dialogs.end() ? nullptr : &it->second;
}

std::unique_ptr<HostWindow> CreateDialogFromTemplate(const DialogTemplate& dialog) {
    auto window = std::make_unique<HostWindow>();
    window->kind = ControlKind::Dialog;
    window->id = dialog.id;
    window->rect = {0, 0, dialog.width, dialog.height};
    for (const ControlTemplate& c : dialog.controls) {
        auto control = std::make_unique<HostWindow>();
        control->kind = c.kind;
        control->id = c.id;
        control->text = c.caption;
        control->group = c.group;
        control->rect = c.rect;
        control->visible = !c.hidden;
        control->enabled = !c.disabled;
        control->multiSelect = c.multiSelect;
        control->checkButton = c.checkType || c.kind == ControlKind::CheckBox;
        if (c.kind == ControlKind::Spinner)
            control->scale = 1.0f;
        window->AddChild(std::move(control));
    }
    return window;
}
