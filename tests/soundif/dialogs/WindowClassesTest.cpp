// Binding objects to windows, independent of any toolkit: nested modal
// dialogs, subclassing with a previous procedure, detaching, and the string
// table.
#include "ScriptedBinding.h"

#include "soundif/dialogs/DialogResources.h"
#include "soundif/dialogs/DlgProc.h"
#include "soundif/dialogs/WindowMap.h"

#include <gtest/gtest.h>

namespace {
class CountingDlg : public CDlgProc {
public:
    using CDlgProc::CDlgProc;
    int onInitDialog() override {
        ++inits;
        return 1;
    }
    void onDetach() override { ++detaches; }
    int inits = 0;
    int detaches = 0;
};

class Recorder : public CWndProc {
public:
    int onCommand(std::uint32_t command, MessageParam) override {
        commands.push_back(command);
        return command == 7 ? 1 : 0;
    }
    void onDetach() override { ++detaches; }
    std::vector<std::uint32_t> commands;
    int detaches = 0;
};

TEST(WindowClasses, NestedDialogsBindToTheirOwnObjects) {
    ScriptedBinding user;
    CountingDlg outer(settingsDialogTemplate, nullptr);
    CountingDlg inner(boardSetupDialogTemplate, nullptr);
    WindowHandle outerWindow = nullptr;
    user.script({
        [&](ScriptedBinding& u) {
            outerWindow = outer.window();
            EXPECT_EQ(findWindowObject(outerWindow), &outer);
            EXPECT_EQ(inner.doModal(), 1);
            EXPECT_EQ(inner.window(), nullptr);
            EXPECT_EQ(inner.detaches, 1);
            EXPECT_EQ(findWindowObject(outerWindow), &outer);
            EXPECT_EQ(&u.front(), outerWindow);
        },
        [&](ScriptedBinding& u) {
            EXPECT_EQ(findWindowObject(u.front().dialog), &inner);
            u.click(1);
        },
        [](ScriptedBinding& u) { u.click(2); },
    });
    EXPECT_EQ(outer.doModal(), 2);
    EXPECT_EQ(outer.inits, 1);
    EXPECT_EQ(inner.inits, 1);
    EXPECT_EQ(findWindowObject(outerWindow), nullptr);
    EXPECT_EQ(pendingDialog(), nullptr);
}

TEST(WindowClasses, ADialogWithoutTemplateDetachesAtOnce) {
    ScriptedBinding user;
    CountingDlg missing(999, nullptr);
    EXPECT_EQ(missing.doModal(), -1);
    EXPECT_EQ(missing.inits, 0);
    EXPECT_EQ(missing.detaches, 1);
    EXPECT_EQ(pendingDialog(), nullptr);
}

TEST(WindowClasses, AttachedControlPassesUnhandledMessagesOnAndIsRestoredOnDestroy) {
    ScriptedBinding user;
    auto* control = user.makeWindow(1000);
    ProcedureRef own = user.windowProcedure(control);
    Recorder object;
    EXPECT_EQ(attachWindow(&object, nullptr), 0);
    ASSERT_EQ(attachWindow(&object, control), 1);
    EXPECT_EQ(user.windowProcedure(control), procedureRef(sharedWindowProc));
    EXPECT_EQ(object.wndBase().previousProc, own);

    user.deliver(control, WindowMessage::command, 7, 0);
    EXPECT_EQ(user.defaultCalls, 0);
    user.deliver(control, WindowMessage::command, 8, 0);
    EXPECT_EQ(user.defaultCalls, 1);
    EXPECT_EQ(object.commands, (std::vector<std::uint32_t>{7, 8}));

    user.deliver(control, WindowMessage::ncDestroy, 0, 0);
    EXPECT_EQ(user.windowProcedure(control), own);
    EXPECT_EQ(object.window(), nullptr);
    EXPECT_EQ(object.detaches, 1);
    EXPECT_EQ(findWindowObject(control), nullptr);
}

TEST(WindowClasses, MessagesForADetachedWindowReachTheDefaultProcedure) {
    ScriptedBinding user;
    auto* control = user.makeWindow(1000);
    Recorder object;
    attachWindow(&object, control);
    EXPECT_EQ(detachWindow(&object), control);
    EXPECT_EQ(object.window(), nullptr);
    sharedWindowProc(control, WindowMessage::command, 7, 0);
    EXPECT_TRUE(object.commands.empty());
    EXPECT_EQ(user.defaultCalls, 1);
}

TEST(WindowClasses, StringTableGivesEmptyTextForMissingIds) {
    EXPECT_EQ(loadResourceString(messageCaptionString), "インフォメーション");
    EXPECT_NE(loadResourceString(noInterfaceMessageString).find("\r\n"), std::string::npos);
    EXPECT_EQ(loadResourceString(30001), "");
    EXPECT_EQ(loadResourceString(30005), "");
    EXPECT_EQ(loadResourceString(0), "");
}
} // namespace
