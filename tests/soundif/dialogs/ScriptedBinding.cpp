// The scripted binding's windows, modal runs and user actions.
#include "ScriptedBinding.h"

#include "soundif/dialogs/WindowMap.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
ScriptedBinding* instance = nullptr;

ScriptedBinding::FakeWindow* fake(WindowHandle window) {
    return static_cast<ScriptedBinding::FakeWindow*>(window);
}

bool isCombo(const ScriptedBinding::FakeWindow* window) {
    return window != nullptr && (window->kind == ControlKind::dropDownList ||
                                 window->kind == ControlKind::dropDownCombo);
}
} // namespace

ScriptedBinding::ScriptedBinding() {
    instance = this;
    installWindowBinding(this);
}

ScriptedBinding::~ScriptedBinding() {
    installWindowBinding(nullptr);
    instance = nullptr;
}

void ScriptedBinding::script(std::vector<Step> newSteps) {
    steps_.assign(newSteps.begin(), newSteps.end());
}

ScriptedBinding::FakeWindow& ScriptedBinding::front() {
    return *open_.back();
}

ScriptedBinding::FakeWindow& ScriptedBinding::control(int id) {
    return *fake(dialogItem(&front(), id));
}

void ScriptedBinding::send(FakeWindow& window, std::uint32_t id, std::uint32_t notification) {
    FakeWindow& dialog = *window.dialog;
    deliver(&dialog, WindowMessage::command, commandWord(id, notification),
            reinterpret_cast<MessageParam>(&window));
}

void ScriptedBinding::click(int id) {
    FakeWindow& button = control(id);
    ASSERT_TRUE(button.enabled);
    send(button, static_cast<std::uint32_t>(id), notifyClicked);
}

void ScriptedBinding::pick(int id, const std::string& entry) {
    FakeWindow& list = control(id);
    ASSERT_TRUE(list.enabled);
    auto found = std::find(list.entries.begin(), list.entries.end(), entry);
    ASSERT_NE(found, list.entries.end()) << entry;
    list.selection = static_cast<int>(found - list.entries.begin());
    if (list.kind == ControlKind::dropDownCombo) list.text = entry;
    send(list, static_cast<std::uint32_t>(id), notifySelChange);
}

void ScriptedBinding::type(int id, const std::string& text) {
    FakeWindow& box = control(id);
    ASSERT_EQ(box.kind, ControlKind::dropDownCombo);
    ASSERT_TRUE(box.enabled);
    box.text = text;
    box.selection = -1;
    send(box, static_cast<std::uint32_t>(id), notifyEditChange);
}

ScriptedBinding::FakeWindow* ScriptedBinding::makeWindow(int id) {
    auto window = std::make_unique<FakeWindow>();
    window->id = id;
    window->dialog = window.get();
    window->procedure = procedureRef(ownProcedure);
    loose_.push_back(std::move(window));
    return loose_.back().get();
}

MessageResult ScriptedBinding::runModalDialog(int templateId, WindowHandle) {
    const DialogTemplate* layout = findDialogTemplate(templateId);
    if (layout == nullptr) return -1;
    FakeWindow dialog;
    dialog.templateId = templateId;
    dialog.dialog = &dialog;
    dialog.text = layout->caption;
    dialog.procedure = procedureRef(ownProcedure);
    for (const ControlTemplate& item : layout->controls) {
        auto child = std::make_unique<FakeWindow>();
        child->id = item.id;
        child->kind = item.kind;
        child->dialog = &dialog;
        child->text = item.text;
        child->procedure = procedureRef(ownProcedure);
        dialog.children.push_back(std::move(child));
    }
    open_.push_back(&dialog);
    bindCreatedWindow(&dialog);
    dialogProcedure(&dialog, WindowMessage::initDialog, 0, 0);
    while (!dialog.ended) {
        if (steps_.empty()) {
            ADD_FAILURE() << "the script ended while dialog " << templateId << " was open";
            endDialog(&dialog, -1);
            break;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        step(*this);
    }
    destroy(dialog);
    open_.pop_back();
    return dialog.result;
}

void ScriptedBinding::destroy(FakeWindow& window) {
    deliver(&window, WindowMessage::ncDestroy, 0, 0);
    for (auto& child : window.children)
        deliver(child.get(), WindowMessage::ncDestroy, 0, 0);
}

void ScriptedBinding::endDialog(WindowHandle dialog, MessageResult result) {
    fake(dialog)->ended = true;
    fake(dialog)->result = result;
}

bool ScriptedBinding::destroyWindow(WindowHandle window) {
    destroy(*fake(window));
    return true;
}

WindowHandle ScriptedBinding::dialogItem(WindowHandle dialog, int id) {
    for (auto& child : fake(dialog)->children)
        if (child->id == id) return child.get();
    return nullptr;
}

ProcedureRef ScriptedBinding::windowProcedure(WindowHandle window) {
    return fake(window)->procedure;
}

void ScriptedBinding::setWindowProcedure(WindowHandle window, ProcedureRef procedure) {
    fake(window)->procedure = procedure;
}

ProcedureRef ScriptedBinding::sharedProcedure() {
    return procedureRef(sharedWindowProc);
}

MessageResult ScriptedBinding::callWindowProcedure(ProcedureRef procedure, WindowHandle window,
                                                   WindowMessage message, MessageParam first,
                                                   MessageParam second) {
    return windowProcedureOf(procedure)(window, message, first, second);
}

MessageResult ScriptedBinding::deliver(WindowHandle window, WindowMessage message,
                                       MessageParam first, MessageParam second) {
    return callWindowProcedure(fake(window)->procedure, window, message, first, second);
}

MessageResult ScriptedBinding::ownProcedure(WindowHandle window, WindowMessage message,
                                            MessageParam first, MessageParam second) {
    return instance->defaultWindowProc(window, message, first, second);
}

MessageResult ScriptedBinding::defaultWindowProc(WindowHandle, WindowMessage, MessageParam,
                                                 MessageParam) {
    ++defaultCalls;
    return 0;
}

int ScriptedBinding::comboAddString(WindowHandle combo, const std::string& text) {
    FakeWindow* window = fake(combo);
    if (!isCombo(window)) return -1;
    window->entries.push_back(text);
    window->data.push_back(0);
    return static_cast<int>(window->entries.size()) - 1;
}

bool ScriptedBinding::comboSetItemData(WindowHandle combo, int index, std::intptr_t data) {
    FakeWindow* window = fake(combo);
    if (!isCombo(window) || index < 0 || index >= static_cast<int>(window->data.size()))
        return false;
    window->data[static_cast<std::size_t>(index)] = data;
    return true;
}

std::intptr_t ScriptedBinding::comboItemData(WindowHandle combo, int index) {
    FakeWindow* window = fake(combo);
    if (!isCombo(window) || index < 0 || index >= static_cast<int>(window->data.size())) return -1;
    return window->data[static_cast<std::size_t>(index)];
}

int ScriptedBinding::comboCount(WindowHandle combo) {
    return isCombo(fake(combo)) ? static_cast<int>(fake(combo)->entries.size()) : 0;
}

int ScriptedBinding::comboSelection(WindowHandle combo) {
    return isCombo(fake(combo)) ? fake(combo)->selection : -1;
}

void ScriptedBinding::comboSelect(WindowHandle combo, int index) {
    FakeWindow* window = fake(combo);
    if (!isCombo(window)) return;
    window->selection = index;
    if (window->kind == ControlKind::dropDownCombo && index >= 0)
        window->text = window->entries[static_cast<std::size_t>(index)];
}

std::string ScriptedBinding::windowText(WindowHandle window) {
    FakeWindow* target = fake(window);
    if (target->kind == ControlKind::dropDownList)
        return target->selection < 0 ? std::string()
                                     : target->entries[static_cast<std::size_t>(target->selection)];
    return target->text;
}

void ScriptedBinding::setWindowText(WindowHandle window, const std::string& text) {
    if (fake(window)->kind != ControlKind::dropDownList) fake(window)->text = text;
}

void ScriptedBinding::enableWindow(WindowHandle window, bool enable) {
    fake(window)->enabled = enable;
}

void ScriptedBinding::messageBox(WindowHandle, const std::string& text,
                                 const std::string& caption) {
    messages.push_back({caption, text});
}
