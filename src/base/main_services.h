#pragma once

namespace os {

// What the main window offers the windows and sessions it hosts. The window
// build's TMainForm implements it; the headless modes use a do-nothing host.
class MainServices
{
public:
    virtual ~MainServices() = default;
    // Enables or disables the toolbar buttons and the File, Options and Window
    // menus, so that the user stays out while a long operation runs.
    virtual void SetCommandsEnabled(bool enabled) = 0;
    // Closes every child window but the store synchronisation window.
    virtual void CloseOtherChildWindows() = 0;
};

// A host without windows: nothing to enable or close.
class NullMainServices : public MainServices
{
public:
    void SetCommandsEnabled(bool) override {}
    void CloseOtherChildWindows() override {}
};

} // namespace os
