// ScriptedBinding: a WindowBinding without a screen, for testing the dialogs.
// It builds dialogs from the real templates, binds and initialises them as a
// toolkit does, and then plays the user: each time a dialog waits for input
// the next scripted step runs (pressing a button, picking an entry, typing,
// or looking at the controls). A dialog still open when the script runs out
// is a test failure and is closed with result -1.
#pragma once

#include "soundif/dialogs/DialogResources.h"
#include "soundif/dialogs/WindowBinding.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ScriptedBinding final : public WindowBinding {
public:
    struct FakeWindow {
        int id = 0;
        ControlKind kind = ControlKind::staticText;
        FakeWindow* dialog = nullptr; // the dialog itself for a dialog
        int templateId = 0;
        std::string text;
        std::vector<std::string> entries;
        std::vector<std::intptr_t> data;
        int selection = -1;
        bool enabled = true;
        ProcedureRef procedure = ProcedureRef::none;
        bool ended = false;
        MessageResult result = 0;
        std::vector<std::unique_ptr<FakeWindow>> children;
    };
    struct Message {
        std::string caption;
        std::string text;
    };
    using Step = std::function<void(ScriptedBinding&)>;

    ScriptedBinding();
    ~ScriptedBinding() override;

    void script(std::vector<Step> steps);

    // The user's actions, on the dialog in front.
    void click(int id);
    void pick(int id, const std::string& entry); // select by text, as a click in the list does
    void type(int id, const std::string& text);

    // Looking at the dialog in front.
    FakeWindow& front();
    FakeWindow& control(int id);

    // Windows not made from a template, for binding tests.
    FakeWindow* makeWindow(int id);

    std::vector<Message> messages;
    int defaultCalls = 0; // messages that reached the binding's own procedure

    MessageResult runModalDialog(int templateId, WindowHandle owner) override;
    void endDialog(WindowHandle dialog, MessageResult result) override;
    bool destroyWindow(WindowHandle window) override;
    WindowHandle dialogItem(WindowHandle dialog, int id) override;
    ProcedureRef windowProcedure(WindowHandle window) override;
    void setWindowProcedure(WindowHandle window, ProcedureRef procedure) override;
    ProcedureRef sharedProcedure() override;
    MessageResult callWindowProcedure(ProcedureRef procedure, WindowHandle window,
                                      WindowMessage message, MessageParam first,
                                      MessageParam second) override;
    // Delivers a message to the window's current procedure.
    MessageResult deliver(WindowHandle window, WindowMessage message, MessageParam first,
                          MessageParam second);
    MessageResult defaultWindowProc(WindowHandle window, WindowMessage message, MessageParam first,
                                    MessageParam second) override;
    int comboAddString(WindowHandle combo, const std::string& text) override;
    bool comboSetItemData(WindowHandle combo, int index, std::intptr_t data) override;
    std::intptr_t comboItemData(WindowHandle combo, int index) override;
    int comboCount(WindowHandle combo) override;
    int comboSelection(WindowHandle combo) override;
    void comboSelect(WindowHandle combo, int index) override;
    std::string windowText(WindowHandle window) override;
    void setWindowText(WindowHandle window, const std::string& text) override;
    void enableWindow(WindowHandle window, bool enable) override;
    void messageBox(WindowHandle owner, const std::string& text,
                    const std::string& caption) override;

private:
    static MessageResult ownProcedure(WindowHandle window, WindowMessage message,
                                      MessageParam first, MessageParam second);
    void send(FakeWindow& window, std::uint32_t id, std::uint32_t notification);
    void destroy(FakeWindow& window);

    std::deque<Step> steps_;
    std::vector<FakeWindow*> open_; // modal dialogs, innermost last
    std::vector<std::unique_ptr<FakeWindow>> loose_;
};
