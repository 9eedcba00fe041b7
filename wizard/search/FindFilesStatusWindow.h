// The display a picture search drives while it runs.
#pragma once

#include "common/steps/ProgressCallback.h"

#include <string>

class wxWindow;

class CAbstractStatusWindow {
public:
    virtual ~CAbstractStatusWindow() = default;

    // ownerless: the window gets no task-bar entry of its own. parent: the window to centre on,
    // or none for the screen. Returns false when the window could not be made.
    virtual bool Show(bool ownerless, wxWindow* parent) = 0;
    // Takes the window away; the callback then hears OnComplete(0).
    virtual void Close() = 0;
    virtual void SetText(const std::string& text) = 0;
    // Raises the window above the others without moving or sizing it, and without taking the
    // keyboard focus from the window that has it.
    virtual void BringToTop() = 0;

    // Told with OnComplete when the window goes away: 1 when the user cancelled, 0 otherwise.
    // Not owned; may be changed while the window is shown.
    virtual void SetCallback(CAbstractProgressCallback* callback) { m_callback = callback; }
    CAbstractProgressCallback* Callback() const { return m_callback; }

protected:
    CAbstractProgressCallback* m_callback = nullptr;
};
