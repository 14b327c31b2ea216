// The Win32 binding on real windows, in this process: the dialog resources
// compiled into this program are the same script as the library's, and the
// creation hook is set up for the main thread as the library entry does.
// Checks that the resources agree with the template and string data that the
// GTK binding and the scripted tests use, and the binding rules: each of two
// nested dialogs binds to its own object, a subclassed control passes on
// what its object leaves and gets its procedure back when destroyed, a
// detached window falls through to the default procedure, and a dialog run
// on another thread than the loading one shows without its object.
#include "WindowDriver.h"

#include "common/WideText.h"
#include "soundif/dialogs/DialogResources.h"
#include "soundif/dialogs/DlgProc.h"
#include "soundif/dialogs/WindowMap.h"
#include "soundif/dialogs/win32/DialogSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {
constexpr auto stepMessage = static_cast<WindowMessage>(WM_APP);

// A dialog that runs step once it is up, from its own message loop.
class StepDlg : public CDlgProc {
public:
    using CDlgProc::CDlgProc;
    using CDlgProc::dialogItem;
    using CDlgProc::endDialog;

    int onInitDialog() override {
        ++inits;
        PostMessageW(static_cast<HWND>(window()), WM_APP, 0, 0);
        return 1;
    }
    MessageResult windowProc(WindowMessage message, MessageParam first,
                             MessageParam second) override {
        if (message != stepMessage) return CDlgProc::windowProc(message, first, second);
        step(*this);
        return 0;
    }
    void onDetach() override { ++detaches; }

    std::function<void(StepDlg&)> step = [](StepDlg& self) { self.endDialog(2); };
    int inits = 0;
    int detaches = 0;
};

class Recorder : public CWndProc {
public:
    int onCommand(std::uint32_t command, MessageParam) override {
        commands.push_back(command);
        return 1;
    }
    void onAttach() override { bound = static_cast<HWND>(window()); }
    void onDetach() override {
        ++detaches;
        procedureAtDetach = GetWindowLongPtrW(bound, GWLP_WNDPROC);
    }
    HWND bound = nullptr;
    std::vector<std::uint32_t> commands;
    int detaches = 0;
    LONG_PTR procedureAtDetach = 0;
};

INT_PTR CALLBACK plainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class Win32Binding : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string why = displayMissing(); !why.empty()) GTEST_SKIP() << why;
        startDialogSupport(GetModuleHandleW(nullptr));
    }
    void TearDown() override { stopDialogSupport(); }
};

struct Expected {
    const wchar_t* className;
    LONG styleMask;
    LONG style;
};

Expected expectedFor(ControlKind kind) {
    switch (kind) {
    case ControlKind::staticText: return {L"Static", SS_TYPEMASK, SS_LEFT};
    case ControlKind::groupBox: return {L"Button", BS_TYPEMASK, BS_GROUPBOX};
    case ControlKind::dropDownList: return {L"ComboBox", 3, CBS_DROPDOWNLIST};
    case ControlKind::dropDownCombo: return {L"ComboBox", 3, CBS_DROPDOWN};
    case ControlKind::pushButton: return {L"Button", BS_TYPEMASK, BS_PUSHBUTTON};
    case ControlKind::defaultPushButton: return {L"Button", BS_TYPEMASK, BS_DEFPUSHBUTTON};
    }
    return {};
}

// Dialog units to pixels as the dialog manager places a control: position
// and size each converted on its own (left, top, width, height).
RECT placement(HWND dialog, int x, int y, int width, int height) {
    RECT rect{x, y, width, height};
    MapDialogRect(dialog, &rect);
    return rect;
}

TEST_F(Win32Binding, DialogResourcesMatchTheTemplateData) {
    for (int id : {settingsDialogTemplate, boardSetupDialogTemplate}) {
        SCOPED_TRACE(id);
        const DialogTemplate* layout = findDialogTemplate(id);
        ASSERT_NE(layout, nullptr);
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
                                         plainDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(textOf(dialog), platform::wideText(layout->caption));
        RECT client{};
        GetClientRect(dialog, &client);
        const RECT size = placement(dialog, 0, 0, layout->width, layout->height);
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        HWND child = GetWindow(dialog, GW_CHILD);
        for (const ControlTemplate& control : layout->controls) {
            SCOPED_TRACE(platform::utf8Text(platform::wideText(control.text)) + " " +
                         std::to_string(control.id));
            ASSERT_NE(child, nullptr);
            const Expected expected = expectedFor(control.kind);
            wchar_t className[64] = {};
            GetClassNameW(child, className, static_cast<int>(std::size(className)));
            EXPECT_STREQ(className, expected.className);
            EXPECT_EQ(GetWindowLongW(child, GWL_STYLE) & expected.styleMask, expected.style);
            EXPECT_EQ(GetDlgCtrlID(child) & 0xFFFF, control.id & 0xFFFF);
            EXPECT_EQ(textOf(child), platform::wideText(control.text));

            RECT placed{};
            GetWindowRect(child, &placed);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&placed), 2);
            const RECT wanted =
                placement(dialog, control.x, control.y, control.width, control.height);
            EXPECT_EQ(placed.left, wanted.left);
            EXPECT_EQ(placed.top, wanted.top);
            EXPECT_EQ(placed.right - placed.left, wanted.right);
            // A combo box's window is its closed height; the template gives
            // the height of the open list.
            if (expected.className != std::wstring_view(L"ComboBox")) {
                EXPECT_EQ(placed.bottom - placed.top, wanted.bottom);
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr) << "more controls than the template data has";
        DestroyWindow(dialog);
    }
}

// What the templates give beyond the controls' kinds and places: a modal,
// centred pop-up with caption and system menu in a 9-point "ＭＳ Ｐゴシック";
// lists that keep the order of their entries,
// only the interface list with a vertical scroll bar, and a clock box that
// scrolls its text.
TEST_F(Win32Binding, DialogResourcesHaveTheirStylesAndFont) {
    constexpr LONG dialogStyleBits = WS_POPUP | WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                     WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_VSCROLL | WS_HSCROLL |
                                     DS_SETFONT | DS_MODALFRAME | DS_CENTER | DS_SYSMODAL |
                                     DS_ABSALIGN | DS_CONTROL | DS_NOIDLEMSG | DS_LOCALEDIT;
    // A combo box's own style; its vertical scroll bar is its list's.
    constexpr LONG comboStyleBits =
        0xFFFF | WS_HSCROLL | WS_TABSTOP | WS_GROUP | WS_DISABLED | WS_BORDER;
    const auto comboStyle = [](int id) -> LONG {
        switch (id) {
        case interfaceListId:
        case speedListId:
        case chipTypeListId: return CBS_DROPDOWNLIST | WS_TABSTOP;
        case clockBoxId: return CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_TABSTOP;
        }
        return -1;
    };
    for (int id : {settingsDialogTemplate, boardSetupDialogTemplate}) {
        SCOPED_TRACE(id);
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
                                         plainDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & dialogStyleBits,
                  WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_MODALFRAME | DS_CENTER);

        LOGFONTW font{};
        ASSERT_EQ(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)),
                             sizeof font, &font),
                  static_cast<int>(sizeof font));
        EXPECT_STREQ(font.lfFaceName, L"ＭＳ Ｐゴシック");
        HDC screen = GetDC(nullptr);
        EXPECT_EQ(font.lfHeight, -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72));
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(font.lfItalic, 0);
        EXPECT_LE(font.lfWeight, FW_NORMAL);

        for (const ControlTemplate& control : findDialogTemplate(id)->controls) {
            if (control.kind != ControlKind::dropDownList &&
                control.kind != ControlKind::dropDownCombo)
                continue;
            SCOPED_TRACE(control.id);
            HWND combo = GetDlgItem(dialog, control.id);
            ASSERT_NE(combo, nullptr);
            EXPECT_EQ(GetWindowLongW(combo, GWL_STYLE) & comboStyleBits, comboStyle(control.id));
            for (const wchar_t* entry : {L"9600", L"115200", L"ftd2xx(COM7)", L"ftd2xx(COM3)"})
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
            EXPECT_EQ(
                comboEntries(combo),
                (std::vector<std::wstring>{L"9600", L"115200", L"ftd2xx(COM7)", L"ftd2xx(COM3)"}))
                << "entries stay in the order they were added";
            // With more entries than its open list shows, only a list with a
            // vertical scroll bar shows one.
            for (int i = 0; i < 40; ++i)
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"entry"));
            SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
            COMBOBOXINFO parts{};
            parts.cbSize = sizeof parts;
            ASSERT_TRUE(GetComboBoxInfo(combo, &parts));
            EXPECT_EQ((GetWindowLongW(parts.hwndList, GWL_STYLE) & WS_VSCROLL) != 0,
                      control.id == interfaceListId)
                << "only the interface list has a vertical scroll bar";
            SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
        }
        DestroyWindow(dialog);
    }
}

TEST_F(Win32Binding, StringResourcesMatchTheStringTableAndMissingOnesAreEmpty) {
    ASSERT_FALSE(stringTable().empty());
    for (const StringResource& entry : stringTable())
        EXPECT_EQ(loadResourceString(entry.id), entry.text) << entry.id;
    EXPECT_EQ(loadResourceString(30001), ""); // same block, no string
    EXPECT_EQ(loadResourceString(30015), "");
    EXPECT_EQ(loadResourceString(1), ""); // no such block
}

TEST_F(Win32Binding, NestedDialogsBindToTheirOwnObjects) {
    StepDlg outer(settingsDialogTemplate, nullptr);
    StepDlg inner(boardSetupDialogTemplate, nullptr);
    HWND outerWindow = nullptr;
    inner.step = [&](StepDlg& self) {
        EXPECT_NE(self.window(), nullptr);
        EXPECT_NE(self.window(), outerWindow);
        EXPECT_EQ(findWindowObject(self.window()), &inner);
        EXPECT_EQ(findWindowObject(outerWindow), &outer);
        self.endDialog(1);
    };
    outer.step = [&](StepDlg& self) {
        outerWindow = static_cast<HWND>(self.window());
        EXPECT_EQ(findWindowObject(outerWindow), &outer);
        EXPECT_EQ(inner.doModal(), 1);
        EXPECT_EQ(inner.window(), nullptr);
        EXPECT_EQ(inner.detaches, 1);
        EXPECT_EQ(findWindowObject(outerWindow), &outer);
        // The outer dialog still handles its commands: Cancel ends it.
        SendMessageW(outerWindow, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(outer.doModal(), 2);
    EXPECT_EQ(outer.inits, 1);
    EXPECT_EQ(inner.inits, 1);
    EXPECT_EQ(outer.detaches, 1);
    EXPECT_EQ(findWindowObject(outerWindow), nullptr);
    EXPECT_EQ(pendingDialog(), nullptr);
}

TEST_F(Win32Binding, SubclassedControlPassesOnWhatItsObjectLeavesAndIsRestored) {
    Recorder recorder;
    LONG_PTR original = 0;
    StepDlg dialog(settingsDialogTemplate, nullptr);
    dialog.step = [&](StepDlg& self) {
        HWND list = static_cast<HWND>(self.dialogItem(interfaceListId));
        original = GetWindowLongPtrW(list, GWLP_WNDPROC);
        ASSERT_EQ(attachWindow(&recorder, list), 1);
        EXPECT_NE(GetWindowLongPtrW(list, GWLP_WNDPROC), original);
        EXPECT_EQ(static_cast<LONG_PTR>(recorder.wndBase().previousProc), original);
        // The combo box's own procedure still does its work...
        EXPECT_EQ(SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"entry")), 0);
        EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 1);
        // ...and commands reach the object.
        SendMessageW(list, WM_COMMAND, 7, 0);
        self.endDialog(2);
    };
    EXPECT_EQ(dialog.doModal(), 2);
    EXPECT_EQ(recorder.commands, std::vector<std::uint32_t>{7});
    EXPECT_EQ(recorder.detaches, 1);
    EXPECT_EQ(recorder.procedureAtDetach, original);
    EXPECT_EQ(recorder.window(), nullptr);
}

TEST_F(Win32Binding, MessagesForADetachedWindowReachTheDefaultProcedure) {
    HWND window = CreateWindowW(L"Static", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    Recorder recorder;
    ASSERT_EQ(attachWindow(&recorder, window), 1);
    EXPECT_EQ(detachWindow(&recorder), window);
    SendMessageW(window, WM_COMMAND, 7, 0);
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"default"));
    EXPECT_TRUE(recorder.commands.empty());
    EXPECT_EQ(textOf(window), L"default");
    DestroyWindow(window);
}

TEST_F(Win32Binding, ATemplateThatDoesNotExistGivesMinusOneAndDetaches) {
    StepDlg missing(999, nullptr);
    EXPECT_EQ(missing.doModal(), -1);
    EXPECT_EQ(missing.inits, 0);
    EXPECT_EQ(missing.detaches, 1);
    EXPECT_EQ(pendingDialog(), nullptr);
}

TEST_F(Win32Binding, ADialogOnAnotherThreadShowsWithoutItsObject) {
    StepDlg dialog(settingsDialogTemplate, nullptr);
    MessageResult result = 0;
    std::thread other([&] { result = dialog.doModal(); });
    HWND shown = waitForDialog(L"tavro setup");
    EXPECT_NE(shown, nullptr);
    if (shown != nullptr) {
        EXPECT_EQ(findWindowObject(shown), nullptr);
        EXPECT_EQ(SendMessageW(GetDlgItem(shown, interfaceListId), CB_GETCOUNT, 0, 0), 0);
        EndDialog(shown, 5);
    }
    other.join();
    EXPECT_EQ(result, 5);
    EXPECT_EQ(dialog.inits, 0);
    EXPECT_EQ(dialog.detaches, 1);
    EXPECT_EQ(pendingDialog(), nullptr);
}
} // namespace
