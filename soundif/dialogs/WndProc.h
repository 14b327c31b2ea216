// Window objects: CWndProc is an object with virtual message handlers that can
// be bound to one window of the current WindowBinding; CWndBase is the part
// of it that the binding sets. Binding goes through the window map
// (WindowMap.h): once bound, every message of the window reaches the object's
// windowProc, and what the object does not handle goes on to the window's
// previous procedure.
#pragma once

#include "soundif/dialogs/WindowBinding.h"

#include <cstdint>
#include <string>

struct CWndBase {
    WindowHandle window = nullptr;                  // null while unbound
    ProcedureRef previousProc = ProcedureRef::none; // the procedure the binding replaced
};

class CWndProc {
public:
    CWndProc() = default;
    CWndProc(const CWndProc&) = delete;
    CWndProc& operator=(const CWndProc&) = delete;

    // The virtual operations, in their fixed order.
    virtual ~CWndProc(); // destroys the window if still bound
    virtual void onAttach() {}
    virtual int destroyWindow();
    virtual int wndReserved() { return 1; }
    // Returns non-zero when the command was handled.
    virtual int onCommand(std::uint32_t command, MessageParam control);
    virtual int onNotify(MessageParam first, MessageParam second, MessageResult& result);
    virtual void onNcDestroy(MessageParam first, MessageParam second);
    virtual MessageResult windowProc(WindowMessage message, MessageParam first,
                                     MessageParam second);
    virtual void onDetach() {}

    WindowHandle window() const { return base.window; }
    CWndBase& wndBase() { return base; }

    std::string text() const;
    void setText(const std::string& text);
    // The text read as an unsigned decimal number; 0 when it is not one.
    std::uint32_t textAsUnsigned() const;
    void setTextUnsigned(std::uint32_t value);
    void enable(bool enable);

protected:
    MessageResult callPrevious(WindowMessage message, MessageParam first, MessageParam second);

private:
    CWndBase base;
};
