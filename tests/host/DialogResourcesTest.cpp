// Dialog templates and bitmaps as module resources: parsing, the messages for bad text, image
// lists cut from bitmaps with masks.

#include "host/CustomControls.h"
#include "host/DialogTemplate.h"
#include "tests/host/HostTestSupport.h"

#include <string>
#include <vector>

namespace {

TEST(DialogTemplateText, ParsesControlsGroupsFlagsAndCaptions) {
    const std::string text = "# comment\n"
                             "dialog 7 100 60\n"
                             "group 9001 2 2 96 30 \" Values \"\n"
                             "  spinner 11 80 10 8 10 hidden\n"
                             "  button 12 4 10 40 12 \"Say \\\"hi\\\" \\\\ bye\" check disabled\n"
                             "endgroup\n"
                             "list 13 4 34 90 20 multi\n"
                             "\n"
                             "dialog 8 20 20\n"
                             "static -1 0 0 20 20 \"Größe :\"\n";
    std::vector<DialogTemplate> dialogs;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplates(text, "ok.txt", dialogs, &error)) << error;
    ASSERT_EQ(dialogs.size(), 2u);
    const DialogTemplate& d = dialogs[0];
    EXPECT_EQ(d.id, 7);
    EXPECT_EQ(d.width, 100);
    ASSERT_EQ(d.controls.size(), 4u);
    EXPECT_EQ(d.controls[0].kind, ControlKind::GroupBox);
    EXPECT_EQ(d.controls[0].caption, _T(" Values "));
    EXPECT_EQ(d.controls[1].group, 9001);
    EXPECT_TRUE(d.controls[1].hidden);
    EXPECT_EQ(d.controls[2].caption, _T("Say \"hi\" \\ bye"));
    EXPECT_TRUE(d.controls[2].checkType);
    EXPECT_TRUE(d.controls[2].disabled);
    EXPECT_EQ(d.controls[2].line, 5);
    EXPECT_EQ(d.controls[3].group, -1);
    EXPECT_TRUE(d.controls[3].multiSelect);
    EXPECT_EQ(dialogs[1].controls[0].caption, _T("Größe :"));

    std::unique_ptr<HostWindow> window = CreateDialogFromTemplate(d);
    HWND spinner = GetDlgItem(window.get(), 11);
    ASSERT_NE(spinner, nullptr);
    EXPECT_FALSE(IsWindowVisible(spinner));
    EXPECT_EQ(GetParent(spinner), window.get());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window.get(), 12)));
    EXPECT_EQ(GetDlgItem(window.get(), 99), nullptr);
    MCHAR caption[8];
    EXPECT_EQ(GetDlgItemText(window.get(), 12, caption, 8), 7); // truncated, terminated
    EXPECT_EQ(MSTR(caption), _T("Say \"hi"));
}

TEST(DialogTemplateText, BadTextIsRefusedNamingFileAndLine) {
    struct Case {
        std::string text;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"dialog 1 50 50\nknob 3 0 0 5 5", "bad.txt:2: unknown keyword 'knob'"},
        {"button 3 0 0 5 5", "bad.txt:1: control outside a dialog"},
        {"dialog 1 50 50\nedit 3 0 0 5", "bad.txt:2: expected: edit ID X Y W H"},
        {"dialog 1 50 50\nedit 3 0 zero 5 5", "bad.txt:2: expected: edit ID X Y W H"},
        {"dialog 1 50 50\nedit 3 0 0 0 5", "bad.txt:2: control size must be positive"},
        {"dialog 1 50 50\n\nedit 3 40 0 20 5", "bad.txt:3: control lies outside dialog 1"},
        {"dialog 1 50 50\nedit 3 0 0 5 5\nedit 3 0 9 5 5",
         "bad.txt:3: control id 3 is used twice in dialog 1 (first on line 2)"},
        {"dialog 1 50 50\ndialog 1 50 50", "bad.txt:2: dialog 1 is defined twice"},
        {"dialog 1 50 50\ngroup 9 0 0 50 50 \"g\"\nedit 3 0 0 5 5",
         "bad.txt:2: group is not closed"},
        {"dialog 1 50 50\nendgroup", "bad.txt:2: endgroup without group"},
        {"dialog 1 50 50\nbutton 3 0 0 5 5 \"open", "bad.txt:2: unclosed caption"},
        {"dialog 1 50 50\nedit 3 0 0 5 5 check", "bad.txt:2: unknown flag 'check' for edit"},
        {"dialog 0 50 50", "bad.txt:1: dialog id and size must be positive"},
        {"dialog 1 50", "bad.txt:1: expected: dialog ID WIDTH HEIGHT"},
    };
    for (const Case& c : cases) {
        std::vector<DialogTemplate> dialogs(1);
        std::string error;
        EXPECT_FALSE(ParseDialogTemplates(c.text, "bad.txt", dialogs, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << error;
        EXPECT_EQ(dialogs.size(), 1u) << "output changed for " << c.text;
    }
}

class DialogResourcesTest : public HostTest {};

TEST_F(DialogResourcesTest, ModulesHandOutTheirTemplatesAndBitmaps) {
    HostModule* module = Host().GetModules().CreateInProcessModule("resource test");
    std::string error;
    ASSERT_TRUE(AddDialogResources(module, "dialog 5 10 10\nedit 1 0 0 5 5", "a.txt", &error));
    // A bad text registers nothing, not even its good dialogs.
    EXPECT_FALSE(AddDialogResources(module, "dialog 6 10 10\ndialog 5 0 0", "b.txt", &error));
    EXPECT_EQ(error.rfind("b.txt:2:", 0), 0u);
    EXPECT_EQ(FindDialogTemplate(module, 6), nullptr);
    ASSERT_NE(FindDialogTemplate(module, 5), nullptr);
    EXPECT_EQ(FindDialogTemplate(module, 5)->source, "a.txt");
    EXPECT_EQ(FindDialogTemplate(nullptr, 5), nullptr);
    EXPECT_FALSE(AddDialogResources(nullptr, "", "c.txt", &error));

    ASSERT_TRUE(AddBitmapResources(module,
                                   "bitmap 10 6 2 #102030\nrect 3 0 3 2 #FF0000\n"
                                   "bitmap 11 6 2 #000000\nrect 2 1 1 1 #FFFFFF\n",
                                   "bits.txt", &error))
        << error;
    EXPECT_FALSE(AddBitmapResources(module, "bitmap 12 4 4 #000000\nrect 2 2 3 1 #FFFFFF",
                                    "bits.txt", &error));
    EXPECT_EQ(error, "bits.txt:2: rect does not lie inside its bitmap");
    EXPECT_FALSE(AddBitmapResources(module, "bitmap 12 4 4 red", "bits.txt", &error));
    EXPECT_EQ(error, "bits.txt:1: expected: bitmap ID WIDTH HEIGHT #RRGGBB");
    EXPECT_EQ(LoadBitmap(module, 12), nullptr);

    HBITMAP image = LoadBitmap(module, 10);
    HBITMAP mask = LoadBitmap(module, 11);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(mask, nullptr);
    HIMAGELIST list = ImageList_Create(3, 2, ILC_COLOR32 | ILC_MASK, 2, 0);
    EXPECT_EQ(ImageList_Add(list, image, mask), 0);
    EXPECT_EQ(ImageList_Add(list, image, nullptr), 2);
    EXPECT_EQ(ImageList_GetImageCount(list), 4);
    const HostBitmap& first = list->images[0];
    EXPECT_EQ(first.At(0, 0), 0xFF102030u);
    EXPECT_EQ(first.At(2, 1), 0x00102030u); // masked out: transparent
    EXPECT_EQ(list->images[1].At(0, 0), 0xFFFF0000u);
    EXPECT_EQ(list->images[2].At(2, 1), 0xFF102030u); // no mask: opaque
    // Sizes that do not fit are refused.
    HIMAGELIST wide = ImageList_Create(4, 2, ILC_COLOR32, 1, 0);
    EXPECT_EQ(ImageList_Add(wide, image, nullptr), -1);
    HBITMAP small = new HostBitmap{3, 2, std::vector<std::uint32_t>(6, 0)};
    EXPECT_EQ(ImageList_Add(list, image, small), -1);
    EXPECT_EQ(ImageList_GetImageCount(list), 4);
    EXPECT_EQ(ImageList_Create(0, 2, 0, 1, 0), nullptr);
    DeleteObject(small);
    DeleteObject(image);
    DeleteObject(mask);
    ImageList_Destroy(wide);
    ImageList_Destroy(list);
}

TEST(HostWindowMessages, CombosListsAndButtonsAnswerTheirMessages) {
    HostWindow dialog;
    dialog.kind = ControlKind::Dialog;
    HWND w = &dialog;
    for (const MCHAR* item : {_T("Static"), _T("Dynamic")})
        SendDlgItemMessage(w, 4, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(SendDlgItemMessage(w, 4, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(SendDlgItemMessage(w, 4, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessage(w, 4, CB_SETCURSEL, 1, 0), 1);
    EXPECT_EQ(SendDlgItemMessage(w, 4, CB_SETCURSEL, 5, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessage(w, 4, CB_GETCURSEL, 0, 0), CB_ERR);
    SendDlgItemMessage(w, 4, CB_SETCURSEL, 1, 0);
    SendDlgItemMessage(w, 4, CB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendDlgItemMessage(w, 4, CB_GETCURSEL, 0, 0), 0); // follows its item
    MSTR text;
    SendDlgItemMessage(w, 4, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(&text));
    EXPECT_EQ(text, _T("Dynamic"));

    SendDlgItemMessage(w, 5, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(_T("Captured: 12 faces")));
    EXPECT_EQ(SendDlgItemMessage(w, 5, WM_GETTEXTLENGTH, 0, 0), 18);
    EXPECT_EQ(ShowWindow(GetDlgItem(w, 5), SW_HIDE), TRUE);
    EXPECT_EQ(ShowWindow(GetDlgItem(w, 5), SW_SHOW), FALSE);
    EXPECT_EQ(EnableWindow(GetDlgItem(w, 5), FALSE), FALSE);
    EXPECT_EQ(EnableWindow(GetDlgItem(w, 5), TRUE), TRUE);
    // Null windows are answered, not dereferenced.
    EXPECT_EQ(SendMessage(nullptr, WM_GETTEXTLENGTH, 0, 0), LB_ERR);
    EXPECT_EQ(GetWindowText(nullptr, nullptr, 0), 0);
    EXPECT_FALSE(IsWindowVisible(nullptr));
    EXPECT_EQ(GetICustEdit(nullptr), nullptr);
}

TEST(HostWindowMessages, SpinnersClampAndShowTheirValueInTheLinkedField) {
    HostWindow dialog;
    dialog.kind = ControlKind::Dialog;
    auto add = [&](ControlKind kind, int id) -> HWND {
        auto c = std::make_unique<HostWindow>();
        c->kind = kind;
        c->id = id;
        return &dialog.AddChild(std::move(c));
    };
    HWND edit = add(ControlKind::Edit, 1);
    ISpinnerControl* spin = GetISpinner(add(ControlKind::Spinner, 2));
    ASSERT_NE(spin, nullptr);
    spin->LinkToEdit(edit, EDITTYPE_FLOAT);
    spin->SetLimits(0.0f, 5.0f);
    spin->SetValue(7.5f, FALSE);
    EXPECT_EQ(spin->GetFVal(), 5.0f);
    EXPECT_EQ(edit->text, _T("5.000"));
    spin->SetLimits(1, 3, TRUE); // clamps the current value
    EXPECT_EQ(spin->GetIVal(), 3);
    spin->SetLimits(0.0f, 100.0f, FALSE);
    spin->SetValue(-2, FALSE);
    EXPECT_EQ(spin->GetIVal(), 0);
    spin->Disable();
    EXPECT_FALSE(IsWindowEnabled(edit)); // the linked field follows
    ReleaseISpinner(spin);
}

} // namespace
