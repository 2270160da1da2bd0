// The seam between the program and the system it runs on.
//
// Where to start reading: program/app/the_app.cpp holds the application object; the
// entry point of each target (platform/x11/main.cpp, platform/win32/main.cpp)
// builds its backend, installs it with SetThePlatform and calls
// Application::Run, which runs CKestroveApp::InitInstance and with it the
// mirror window (program/mirror/kestrove_dlg.cpp) as a modal dialog.
//
// The seam is grouped by concern, one small interface each (platform/seam/).
// Every operation stands for one Windows call, named in its comment, so the
// Win32 backend is a direct mapping; the X11 backend and the recording fake
// of the unit tests give the same results. Backends know nothing of the
// application: they look its dialogs, strings, icons and accelerators up in
// res/ by id.
//
// The path of a Ctrl+2 press on X11: the event loop (platform/x11/
// x11_event_loop.cpp) takes the key event and hands it to the dialog manager
// (x11_dialog_manager.cpp, whose keyboard is x11_dialog_input.cpp), which
// delivers it to the dialog base as
// DialogEvents::deliverPreTranslateMessage; the dialog base calls the
// program's CKestroveDlg::PreTranslateMessage, which asks
// Dialogs::translateAccelerator; the accelerator table matches, and the dialog
// manager delivers command 3002 (deliverCommand -> OnCommand ->
// OnSelectMonitor(2) -> SelectMonitor(1)), which sets the magnifier's source
// (the monitor's handle from the list with its rectangle: the X11 magnifier
// knows the monitor by name from there, x11_monitors.h), fits the window and
// retitles it through the seam; the new title reaches
// screen readers through the accessible tree (platform/x11/accessibility/).
//
// The path of a refresh tick: the event loop's wait ends at the 50 ms
// timer's deadline; the dialog manager delivers the timer (deliverTimer ->
// OnTimer), whose InvalidateRect on the magnifier child reaches the X11
// magnifier (platform/x11/magnifier/), which repaints from its frame source
// only when something on the monitor changed.
//
// Errors: seam operations fail as the Windows call does, by returning false,
// 0 or an empty result, and the program mostly does not look, as the Windows
// program does not. Inside a backend, a constructor that cannot make its
// resource throws std::runtime_error; the seam operation that called it
// catches it, prints one error line and returns the failure value. The
// program's own handlers may throw: the dialog base catches every exception
// around each delivery and shows the framework's message box, so no
// exception crosses a platform's window procedure or event loop. The entry
// point prints a line and ends with status 1 when the platform cannot start.
// Every error line goes to standard error through PrintErrorLine
// (common/error_line.h); standard output carries only the monitor lines.
#pragma once

#include "platform/seam/dialogs.h"
#include "platform/seam/displays.h"
#include "platform/seam/magnifier.h"
#include "platform/seam/module_resources.h"
#include "platform/seam/shell.h"
#include "platform/seam/windowing.h"

namespace kestrove {

// One backend's implementations of the seam's groups.
struct Platform {
    Displays& displays;
    Magnifier& magnifier;
    Windowing& windowing;
    Dialogs& dialogs;
    ModuleResources& resources;
    Shell& shell;
};

// The platform the running process uses; set once by the entry point (or a test).
Platform& ThePlatform();
void SetThePlatform(Platform* platform);

} // namespace kestrove
