#include "platform/x11/dialogs/x11_dialog_manager.h"

#include "common/error_line.h"
#include "common/utf.h"
#include "platform/x11/dialogs/box_placement.h"
#include "platform/x11/dialogs/x11_message_box.h"
#include "platform/x11/magnifier/x11_magnifier_control.h"
#include "res/resource_lookup.h"

#include <stdexcept>
#include <utility>

namespace kestrove::x11 {

namespace {

// A user's resize has ended once its size changes stop for this long.
constexpr auto kResizeQuietInterval = std::chrono::milliseconds{300};

} // namespace

X11DialogManager::X11DialogManager(X11Connection& x, WindowTable& windows, EventLoop& loop,
                                   X11MagnifierControl& magnifiers, Displays& displays,
                                   AccessibleTree& accessible)
    : m_x(x), m_windows(windows), m_loop(loop), m_magnifiers(magnifiers), m_displays(displays),
      m_accessible(accessible), m_input(x, windows, accessible, *this) {}

X11DialogManager::~X11DialogManager() {
    // The dialogs (and their menu) use the fonts kept here: they go first.
    std::vector<Window> open;
    for (const auto& [window, d] : m_windows.dialogs()) {
        open.push_back(window);
    }
    for (const Window window : open) {
        m_input.ownerGoes(window);
        m_magnifiers.destroyChildrenOf(window);
        m_windows.removeDialog(window);
    }
    XFlush(m_x.display);
}

// ------------------------------------------------------------------ dialogs

const DialogFont& X11DialogManager::fontFor(std::u16string_view face, int pointSize) {
    auto& font = m_fonts[std::make_pair(std::u16string(face), pointSize)];
    if (!font) {
        font = std::make_unique<DialogFont>(m_x.display, m_x.screen, face, pointSize);
    }
    return *font;
}

WindowHandle X11DialogManager::createDialog(int templateId, WindowHandle owner,
                                            DialogEvents& events) {
    const res::DialogTemplate* dialogTemplate = res::FindDialog(templateId);
    return dialogTemplate == nullptr
               ? 0
               : createDialogWindow(*dialogTemplate, owner, events, Placement::OverOwner,
                                    m_windows.dialog(owner) != nullptr ? AccessibleRole::Dialog
                                                                       : AccessibleRole::Frame);
}

std::optional<Rect> X11DialogManager::rootRectOf(WindowHandle hwnd) {
    const DialogWindow* d = m_windows.dialog(hwnd);
    if (d == nullptr) {
        return std::nullopt;
    }
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(m_x.display, hwnd, m_x.root, 0, 0, &x, &y, &child);
    return Rect{x, y, x + d->width(), y + d->height()};
}

std::vector<MonitorInfoEx> X11DialogManager::monitors() {
    std::vector<MonitorHandle> handles;
    m_displays.enumDisplayMonitors(
        [](MonitorHandle monitor, DeviceContextHandle, Rect*, std::intptr_t data) {
            reinterpret_cast<std::vector<MonitorHandle>*>(data)->push_back(monitor);
            return 1;
        },
        reinterpret_cast<std::intptr_t>(&handles));
    std::vector<MonitorInfoEx> found;
    for (const MonitorHandle handle : handles) {
        MonitorInfoEx info{};
        info.cbSize = kMonitorInfoExSize;
        if (m_displays.getMonitorInfo(handle, info)) {
            found.push_back(info);
        }
    }
    return found;
}

Rect X11DialogManager::screenRect() const {
    Screen* screen = ScreenOfDisplay(m_x.display, m_x.screen);
    return Rect{0, 0, WidthOfScreen(screen), HeightOfScreen(screen)};
}

Rect X11DialogManager::workAreaOf(WindowHandle owner) {
    return OwnersWorkArea(monitors(), rootRectOf(owner), screenRect());
}

Rect X11DialogManager::monitorAt(int x, int y) {
    return MonitorAt(monitors(), x, y, screenRect());
}

WindowHandle X11DialogManager::createDialogWindow(const res::DialogTemplate& dialogTemplate,
                                                  WindowHandle owner, DialogEvents& events,
                                                  Placement placement, AccessibleRole role) {
    const DialogFont* font = nullptr;
    try {
        font = &fontFor(dialogTemplate.fontFace, dialogTemplate.pointSize);
    } catch (const std::runtime_error& error) {
        PrintErrorLine(std::string("cannot create a window: ") + error.what());
        return 0;
    }
    const int width = font->unitsToPixelsX(dialogTemplate.cx);
    const int height = font->unitsToPixelsY(dialogTemplate.cy);
    Rect box{font->unitsToPixelsX(dialogTemplate.x), font->unitsToPixelsY(dialogTemplate.y), 0, 0};
    const std::optional<Rect> ownerRect = rootRectOf(owner);
    if (!ownerRect) {
        owner = 0;
    }
    if (placement == Placement::OwnersMonitor || ownerRect) {
        // Owned boxes and message boxes stay wholly on their owner's monitor,
        // clear of the desktop's panels, so their buttons can be reached.
        const Rect workArea = workAreaOf(owner);
        box = placement == Placement::OwnersMonitor ? CentredIn(width, height, workArea)
                                                    : CentredIn(width, height, *ownerRect);
        box = KeptInside(box, workArea);
    }
    const int x = box.left;
    const int y = box.top;
    const Window window = m_windows
                              .addDialog(std::make_unique<DialogWindow>(
                                  m_x.display, m_x.screen, m_x.atoms, *font, m_accessible, role,
                                  dialogTemplate, owner, x, y, events))
                              .window();

    events.deliverCreated(window);
    // TRUE from the initialisation: the first tab stop takes the focus.
    if (events.deliverInitDialog()) {
        if (DialogWindow* d = m_windows.dialog(window)) {
            d->focusFirstTabStop();
        }
    }
    // Everything the dialog set up while initialising is in place before
    // the window is first shown.
    if (DialogWindow* d = m_windows.dialog(window); d != nullptr && d->visibleStyle()) {
        show(*d);
    }
    XFlush(m_x.display);
    return m_windows.dialog(window) != nullptr ? window : 0;
}

void X11DialogManager::runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents&) {
    if (DialogWindow* ownerDialog = m_windows.dialog(owner)) {
        ++ownerDialog->disabledCount;
        m_accessible.setEnabled(owner, false);
    }
    // A modal dialog is shown even when its template does not say visible.
    if (DialogWindow* d = m_windows.dialog(hwnd); d != nullptr && !d->shown()) {
        show(*d);
    }
    m_modal.push_back(hwnd);
    while (true) {
        const DialogWindow* d = m_windows.dialog(hwnd);
        if (d == nullptr || d->ended) {
            break;
        }
        m_loop.pumpOnce();
    }
    m_modal.pop_back();
    if (DialogWindow* ownerDialog = m_windows.dialog(owner)) {
        --ownerDialog->disabledCount;
        m_accessible.setEnabled(owner, ownerDialog->disabledCount == 0);
        focus(owner);
    }
}

void X11DialogManager::endDialog(WindowHandle hwnd) {
    if (DialogWindow* d = m_windows.dialog(hwnd)) {
        d->ended = true;
    }
}

void X11DialogManager::show(DialogWindow& d) {
    XMapRaised(m_x.display, d.window());
    d.setShown(true);
}

void X11DialogManager::hideWindow(WindowHandle hwnd) {
    if (DialogWindow* d = m_windows.dialog(hwnd)) {
        d->setShown(false);
        XWithdrawWindow(m_x.display, hwnd, m_x.screen);
        XFlush(m_x.display);
    }
}

void X11DialogManager::destroyWindow(WindowHandle hwnd) {
    if (m_magnifiers.destroy(hwnd)) {
        return;
    }
    if (m_windows.dialog(hwnd) == nullptr) {
        return;
    }
    m_input.ownerGoes(hwnd);
    m_magnifiers.destroyChildrenOf(hwnd);
    m_timers.killAll(hwnd);
    std::unique_ptr<DialogWindow> destroyed = m_windows.removeDialog(hwnd);
    DialogEvents& events = destroyed->events();
    destroyed.reset();
    XFlush(m_x.display);
    events.deliverNcDestroy();
}

void X11DialogManager::defaultProcessing(WindowHandle hwnd) {
    if (m_dispatching.empty() || m_dispatching.back().hwnd != hwnd) {
        return;
    }
    const Dispatching current = m_dispatching.back();
    DialogWindow* d = m_windows.dialog(hwnd);
    if (d == nullptr) {
        return;
    }
    switch (current.kind) {
    case Dispatch::Paint:
        d->paintBackground();
        break;
    case Dispatch::SysCommand:
        // Close becomes the dialog's Cancel; the end of a sizing needs
        // nothing more here, the window already has its new size.
        if ((current.id & 0xFFF0) == win::SC_CLOSE) {
            d->events().deliverCommand(win::IDCANCEL);
        }
        break;
    case Dispatch::Timer:
    case Dispatch::Key:
        break;
    }
}

void X11DialogManager::setDlgItemText(WindowHandle hwnd, int id, std::u16string_view text) {
    if (DialogWindow* d = m_windows.dialog(hwnd)) {
        if (DialogControl* control = d->control(id)) {
            d->setControlText(*control, text);
        }
    }
}

std::u16string X11DialogManager::getDlgItemText(WindowHandle hwnd, int id) {
    if (DialogWindow* d = m_windows.dialog(hwnd)) {
        if (const DialogControl* control = d->control(id)) {
            return control->text;
        }
    }
    return {};
}

MenuHandle X11DialogManager::getSystemMenu(WindowHandle hwnd) {
    const DialogWindow* d = m_windows.dialog(hwnd);
    return d != nullptr && d->hasSystemMenu() ? MenuHandle{hwnd} : 0;
}

void X11DialogManager::appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                                  std::u16string_view text) {
    DialogWindow* d = m_windows.dialog(menu);
    if (d == nullptr || !d->hasSystemMenu()) {
        return;
    }
    const bool separator = (flags & win::MF_SEPARATOR) != 0;
    d->systemMenu().push_back(
        {separator, static_cast<std::uint32_t>(id), separator ? u"" : std::u16string(text)});
}

TimerId X11DialogManager::setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) {
    if (m_windows.dialog(hwnd) == nullptr || id == 0) {
        return 0;
    }
    m_timers.set(hwnd, id, std::chrono::milliseconds{milliseconds}, Clock::now());
    return id;
}

void X11DialogManager::killTimer(WindowHandle hwnd, TimerId id) {
    m_timers.kill(hwnd, id);
}

int X11DialogManager::messageBox(WindowHandle owner, std::u16string_view text,
                                 std::u16string_view caption, std::uint32_t) {
    // A box goes over the box that is active, not under it: a window with a
    // modal box over it hands its boxes to the innermost such box (the About
    // box, when the message comes from there), which is disabled meanwhile
    // and has the focus back when the message box closes.
    if (const DialogWindow* d = m_windows.dialog(owner);
        d != nullptr && d->disabledCount > 0 && !m_modal.empty()) {
        owner = m_modal.back();
    }
    WindowHandle hwnd = 0;
    std::optional<MessageBoxDialog> box;
    try {
        const DialogFont& font = fontFor(res::kDialogFont, MessageBoxDialog::kPointSize);
        box.emplace(*this, text, caption, font, workAreaOf(owner));
        hwnd = createDialogWindow(box->dialogTemplate(), owner, *box, Placement::OwnersMonitor,
                                  AccessibleRole::Alert);
    } catch (const std::runtime_error&) {
    }
    if (hwnd == 0) {
        // MessageBoxW fails; the message itself must not be lost.
        PrintErrorLine(ToUtf8(text));
        return 0;
    }
    runModalLoop(hwnd, m_windows.dialog(owner) != nullptr ? owner : 0, *box);
    hideWindow(hwnd);
    destroyWindow(hwnd);
    return win::IDOK;
}

// ------------------------------------------------------------------ events

std::optional<Clock::time_point> X11DialogManager::nextDeadline() const {
    std::optional<Clock::time_point> next = m_timers.nextDeadline();
    for (const auto& [window, d] : m_windows.dialogs()) {
        if (d->resizeSettlesAt && (!next || *d->resizeSettlesAt < *next)) {
            next = d->resizeSettlesAt;
        }
    }
    return next;
}

void X11DialogManager::postNotice(WindowHandle owner, std::u16string text) {
    m_notices.emplace_back(owner, std::move(text));
}

void X11DialogManager::fireDue(Clock::time_point now) {
    // Each step of the loop starts here, so a posted notice waits no longer
    // than the step that posted it.
    for (auto& [owner, text] : std::exchange(m_notices, {})) {
        if (DialogWindow* d = m_windows.dialog(owner)) {
            d->events().deliverNotice(text);
        }
    }
    for (const TimerQueue::Due& due : m_timers.takeDue(now)) {
        if (DialogWindow* d = m_windows.dialog(due.hwnd)) {
            DispatchScope scope(*this, due.hwnd, Dispatch::Timer);
            d->events().deliverTimer(due.id);
        }
    }
    std::vector<Window> settled;
    for (const auto& [window, d] : m_windows.dialogs()) {
        if (d->resizeSettlesAt && *d->resizeSettlesAt <= now) {
            d->resizeSettlesAt.reset();
            settled.push_back(window);
        }
    }
    for (const Window window : settled) {
        sysCommand(window, win::SC_SIZE);
    }
}

void X11DialogManager::sizeReported(DialogWindow& d, const XConfigureEvent& event, bool requested) {
    const bool changed = d.updateSize(event.width, event.height);
    if (changed && !requested && !d.ownSizes.holds(event.width, event.height, Clock::now())) {
        d.resizeSettlesAt = Clock::now() + kResizeQuietInterval;
    }
}

bool X11DialogManager::handleEvent(XEvent& event) {
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping); // keysyms are looked up client-side
        return true;
    }
    if (m_input.menuTakes(event)) {
        return true;
    }
    DialogWindow* d = m_windows.dialogOfEventWindow(event.xany.window);
    if (d == nullptr) {
        return false;
    }
    const Window hwnd = d->window();
    const bool enabled = d->disabledCount == 0;
    switch (event.type) {
    case Expose:
        if (event.xexpose.count != 0) {
            break;
        }
        if (event.xexpose.window == hwnd) {
            paint(hwnd);
        } else if (const DialogControl* control = d->controlOfWindow(event.xexpose.window)) {
            d->paintControl(*control);
        }
        break;
    case ConfigureNotify:
        if (event.xconfigure.window == hwnd) {
            sizeReported(*d, event.xconfigure, false);
        }
        break;
    case FocusIn:
    case FocusOut:
        // The menu's grabs move the keyboard, not the window's focus.
        if (event.xfocus.window == hwnd && event.xfocus.mode == NotifyNormal &&
            event.xfocus.detail != NotifyInferior) {
            d->setActive(event.type == FocusIn);
        }
        break;
    case MapNotify:
        if (event.xmap.window == hwnd && enabled) {
            focus(hwnd);
        }
        break;
    case ClientMessage:
        if (enabled && event.xclient.message_type == m_x.atoms.wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == m_x.atoms.wmDeleteWindow) {
            sysCommand(hwnd, win::SC_CLOSE);
        }
        break;
    case KeyPress:
        if (enabled) {
            m_input.handleKey(*d, event.xkey);
        }
        break;
    case ButtonPress:
    case ButtonRelease:
        if (enabled) {
            m_input.handleButton(*d, event.xbutton);
        }
        break;
    default:
        break;
    }
    return true;
}

void X11DialogManager::paint(WindowHandle hwnd) {
    DialogWindow* d = m_windows.dialog(hwnd);
    DispatchScope scope(*this, hwnd, Dispatch::Paint);
    if (!d->events().deliverPaint()) {
        d->paintBackground();
    }
}

void X11DialogManager::sysCommand(WindowHandle hwnd, std::uint32_t command) {
    if (DialogWindow* d = m_windows.dialog(hwnd)) {
        DispatchScope scope(*this, hwnd, Dispatch::SysCommand, command);
        d->events().deliverSysCommand(command, 0);
    }
}

bool X11DialogManager::isDialogMessage(WindowHandle hwnd, Message& msg) {
    return m_input.isDialogMessage(hwnd, msg);
}

bool X11DialogManager::translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) {
    return m_input.translateAccelerator(hwnd, accel, msg);
}

void X11DialogManager::dispatchKey(WindowHandle hwnd, const std::function<void()>& deliver) {
    DispatchScope scope(*this, hwnd, Dispatch::Key);
    deliver();
}

void X11DialogManager::focus(WindowHandle hwnd) {
    XWindowAttributes attributes{};
    if (m_windows.dialog(hwnd) != nullptr &&
        XGetWindowAttributes(m_x.display, hwnd, &attributes) != 0 &&
        attributes.map_state == IsViewable) {
        XSetInputFocus(m_x.display, hwnd, RevertToParent, CurrentTime);
    }
}

} // namespace kestrove::x11
