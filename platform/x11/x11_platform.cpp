#include "platform/x11/x11_platform.h"

#include "common/utf.h"
#include "common/version_block.h"
#include "platform/x11/elf_version_section.h"
#include "platform/x11/x11_icon.h"
#include "platform/x11/x11_keys.h"
#include "platform/x11/x11_message_box.h"
#include "platform/x11/x11_process.h"
#include "res/resource_ids.h"
#include "res/resources.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace kestrove::x11 {

namespace {

// A user's resize has ended once its size changes stop for this long.
constexpr auto kResizeQuietInterval = std::chrono::milliseconds{300};
// How long a size request waits for the server's (or window manager's) answer.
constexpr auto kResizeAnswerWait = std::chrono::milliseconds{250};

Rect RectOf(int width, int height) {
    return {0, 0, width, height};
}

} // namespace

// Marks the message being dispatched to a window for defaultProcessing.
class X11Platform::DispatchScope {
public:
    DispatchScope(X11Platform& platform, WindowHandle hwnd, Dispatch kind, std::uint32_t id = 0)
        : m_platform(platform) {
        m_platform.m_dispatching.push_back({hwnd, kind, id});
    }
    ~DispatchScope() { m_platform.m_dispatching.pop_back(); }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;

private:
    X11Platform& m_platform;
};

X11Platform::X11Platform(Display* display, std::vector<std::string> arguments)
    : m_display(display), m_screen(DefaultScreen(display)), m_root(RootWindow(display, m_screen)),
      m_atoms(display), m_monitors(display), m_arguments(std::move(arguments)) {}

X11Platform::~X11Platform() {
    m_menu.reset();
    m_magnifiers.clear();
    m_dialogs.clear();
    XFlush(m_display);
}

// ------------------------------------------------------------------ monitors

void X11Platform::enumDisplayMonitors(MonitorEnumProcType proc, std::intptr_t data) {
    m_monitors.enumerate(proc, data);
}

bool X11Platform::getMonitorInfo(MonitorHandle monitor, MonitorInfoEx& info) {
    return m_monitors.info(monitor, info);
}

bool X11Platform::enumDisplayDevices(std::uint32_t index, DisplayDevice& device) {
    return m_monitors.device(index, device);
}

// ------------------------------------------------------------------ magnifier

bool X11Platform::magInitialize() {
    return X11Magnifier::Initialize(m_display);
}

WindowHandle X11Platform::createMagnifierWindow(WindowHandle parent, const Rect& area) {
    if (dialog(parent) == nullptr) {
        return 0;
    }
    std::unique_ptr<X11Magnifier> created;
    try {
        created = std::make_unique<X11Magnifier>(m_display, parent, area);
    } catch (const std::exception& error) {
        // CreateWindowExW fails and the mirror stays blank; say why once.
        std::fprintf(stderr, "Kestrove: cannot create the mirror: %s\n", error.what());
        return 0;
    }
    const Window window = created->window();
    m_magnifiers[window] = std::move(created);
    m_magnifierParents[window] = parent;
    return window;
}

bool X11Platform::magSetWindowSource(WindowHandle hwnd, const Rect& source) {
    X11Magnifier* mag = magnifier(hwnd);
    if (mag == nullptr) {
        return false;
    }
    mag->setSource(source);
    const int width = source.right - source.left;
    const int height = source.bottom - source.top;
    if (DialogWindow* parent = dialog(m_magnifierParents[hwnd]);
        parent != nullptr && width > 0 && height > 0) {
        parent->setAspect(width, height);
    }
    return true;
}

bool X11Platform::magSetWindowTransform(WindowHandle hwnd, const MagTransform& transform) {
    X11Magnifier* mag = magnifier(hwnd);
    if (mag == nullptr) {
        return false;
    }
    mag->setTransform(transform);
    return true;
}

// ------------------------------------------------------------------ windows

DialogWindow* X11Platform::dialog(WindowHandle hwnd) const {
    const auto it = m_dialogs.find(hwnd);
    return it == m_dialogs.end() ? nullptr : it->second.get();
}

X11Magnifier* X11Platform::magnifier(WindowHandle hwnd) const {
    const auto it = m_magnifiers.find(hwnd);
    return it == m_magnifiers.end() ? nullptr : it->second.get();
}

DialogWindow* X11Platform::dialogOfEventWindow(Window window) const {
    if (DialogWindow* d = dialog(window)) {
        return d;
    }
    if (const auto it = m_magnifierParents.find(window); it != m_magnifierParents.end()) {
        return dialog(it->second);
    }
    for (const auto& [handle, d] : m_dialogs) {
        if (d->controlOfWindow(window) != nullptr) {
            return d.get();
        }
    }
    return nullptr;
}

bool X11Platform::isWindow(WindowHandle hwnd) {
    return hwnd != 0 && (dialog(hwnd) != nullptr || magnifier(hwnd) != nullptr ||
                         dialogOfEventWindow(hwnd) != nullptr);
}

bool X11Platform::isIconic(WindowHandle hwnd) {
    return dialog(hwnd) != nullptr && IsIconicState(m_display, m_atoms, hwnd);
}

Rect X11Platform::getClientRect(WindowHandle hwnd) {
    if (const DialogWindow* d = dialog(hwnd)) {
        return RectOf(d->width(), d->height());
    }
    XWindowAttributes attributes{};
    if (hwnd == 0 || !isWindow(hwnd) || XGetWindowAttributes(m_display, hwnd, &attributes) == 0) {
        return {};
    }
    return RectOf(attributes.width, attributes.height);
}

Rect X11Platform::calcWindowRect(WindowHandle, const Rect& client) {
    return client; // the window manager adds the frame outside the window
}

void X11Platform::setWindowSize(WindowHandle hwnd, int width, int height) {
    DialogWindow* d = dialog(hwnd);
    width = std::max(1, width);
    height = std::max(1, height);
    if (d == nullptr || (d->width() == width && d->height() == height)) {
        return;
    }
    XResizeWindow(m_display, hwnd, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(m_display);
    // The size allowed is what the next ConfigureNotify says; other events
    // stay queued in their order.
    const auto deadline = Clock::now() + kResizeAnswerWait;
    XEvent event;
    while (true) {
        if (XCheckTypedWindowEvent(m_display, hwnd, ConfigureNotify, &event) != 0) {
            handleConfigure(*d, event.xconfigure, true);
            return;
        }
        if (Clock::now() >= deadline) {
            return;
        }
        waitForConnection(deadline);
    }
}

void X11Platform::handleConfigure(DialogWindow& d, const XConfigureEvent& event, bool requested) {
    if (d.updateSize(event.width, event.height) && !requested) {
        d.resizeSettlesAt = Clock::now() + kResizeQuietInterval;
    }
}

void X11Platform::moveWindow(WindowHandle hwnd, int x, int y, int width, int height, bool) {
    if (X11Magnifier* mag = magnifier(hwnd)) {
        mag->move(x, y, width, height);
    } else if (dialog(hwnd) != nullptr) {
        XMoveWindow(m_display, hwnd, x, y);
        setWindowSize(hwnd, width, height);
    }
}

void X11Platform::invalidateRect(WindowHandle hwnd, bool) {
    if (X11Magnifier* mag = magnifier(hwnd)) {
        mag->invalidate();
    } else if (isWindow(hwnd)) {
        XClearArea(m_display, hwnd, 0, 0, 0, 0, True);
    }
}

void X11Platform::setWindowText(WindowHandle hwnd, std::u16string_view text) {
    if (DialogWindow* d = dialog(hwnd)) {
        d->setTitle(text);
    } else if (DialogWindow* owner = dialogOfEventWindow(hwnd)) {
        if (DialogControl* control = owner->controlOfWindow(hwnd)) {
            owner->setControlText(*control, text);
        }
    }
}

void X11Platform::setDlgItemText(WindowHandle hwnd, int id, std::u16string_view text) {
    if (DialogWindow* d = dialog(hwnd)) {
        if (DialogControl* control = d->control(id)) {
            d->setControlText(*control, text);
        }
    }
}

std::u16string X11Platform::getDlgItemText(WindowHandle hwnd, int id) {
    if (DialogWindow* d = dialog(hwnd)) {
        if (const DialogControl* control = d->control(id)) {
            return control->text;
        }
    }
    return {};
}

void X11Platform::setIcon(WindowHandle hwnd, int, IconHandle icon) {
    // Both sizes come from the one group: the window manager picks the image.
    if (dialog(hwnd) == nullptr) {
        return;
    }
    if (icon == IDR_MAIN_ICON) {
        SetWindowIcon(m_display, m_atoms, hwnd);
    } else {
        XDeleteProperty(m_display, hwnd, m_atoms.netWmIcon);
    }
}

TimerId X11Platform::setTimer(WindowHandle hwnd, TimerId id, std::uint32_t milliseconds) {
    if (dialog(hwnd) == nullptr || id == 0) {
        return 0;
    }
    m_timers.set(hwnd, id, std::chrono::milliseconds{milliseconds}, Clock::now());
    return id;
}

void X11Platform::killTimer(WindowHandle hwnd, TimerId id) {
    m_timers.kill(hwnd, id);
}

// ------------------------------------------------------------------ dialogs

const DialogFont& X11Platform::fontFor(std::u16string_view face, int pointSize) {
    auto& font = m_fonts[std::make_pair(std::u16string(face), pointSize)];
    if (!font) {
        font = std::make_unique<DialogFont>(m_display, m_screen, face, pointSize);
    }
    return *font;
}

WindowHandle X11Platform::createDialog(int templateId, WindowHandle owner, DialogEvents& events) {
    const res::DialogTemplate* dialogTemplate = res::FindDialog(templateId);
    return dialogTemplate == nullptr ? 0 : createDialogWindow(*dialogTemplate, owner, events);
}

WindowHandle X11Platform::createDialogWindow(const res::DialogTemplate& dialogTemplate,
                                             WindowHandle owner, DialogEvents& events) {
    const DialogFont* font = nullptr;
    try {
        font = &fontFor(dialogTemplate.fontFace, dialogTemplate.pointSize);
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "Kestrove: cannot create a window: %s\n", error.what());
        return 0;
    }
    int x = font->unitsToPixelsX(dialogTemplate.x);
    int y = font->unitsToPixelsY(dialogTemplate.y);
    if (const DialogWindow* ownerDialog = dialog(owner)) {
        // An owned dialog opens centred over its owner.
        Window child = 0;
        XTranslateCoordinates(m_display, owner, m_root, 0, 0, &x, &y, &child);
        x += (ownerDialog->width() - font->unitsToPixelsX(dialogTemplate.cx)) / 2;
        y += (ownerDialog->height() - font->unitsToPixelsY(dialogTemplate.cy)) / 2;
    } else {
        owner = 0;
    }
    auto created = std::make_unique<DialogWindow>(m_display, m_screen, m_atoms, *font,
                                                  dialogTemplate, owner, x, y, events);
    const Window window = created->window();
    m_dialogs[window] = std::move(created);

    events.onCreated(window);
    events.onInitDialog();
    // Everything the dialog set up while initialising is in place before
    // the window is first shown.
    if (DialogWindow* d = dialog(window); d != nullptr && d->visibleStyle()) {
        show(*d);
    }
    XFlush(m_display);
    return dialog(window) != nullptr ? window : 0;
}

void X11Platform::runModalLoop(WindowHandle hwnd, WindowHandle owner, DialogEvents&) {
    if (DialogWindow* ownerDialog = dialog(owner)) {
        ++ownerDialog->disabledCount;
    }
    // A modal dialog is shown even when its template does not say visible.
    if (DialogWindow* d = dialog(hwnd); d != nullptr && !d->shown) {
        show(*d);
    }
    while (true) {
        const DialogWindow* d = dialog(hwnd);
        if (d == nullptr || d->ended) {
            break;
        }
        pumpOnce();
    }
    if (DialogWindow* ownerDialog = dialog(owner)) {
        --ownerDialog->disabledCount;
        focus(owner);
    }
}

void X11Platform::endDialog(WindowHandle hwnd) {
    if (DialogWindow* d = dialog(hwnd)) {
        d->ended = true;
    }
}

void X11Platform::show(DialogWindow& d) {
    XMapRaised(m_display, d.window());
    d.shown = true;
}

void X11Platform::hideWindow(WindowHandle hwnd) {
    if (DialogWindow* d = dialog(hwnd)) {
        d->shown = false;
        XWithdrawWindow(m_display, hwnd, m_screen);
        XFlush(m_display);
    }
}

void X11Platform::destroyWindow(WindowHandle hwnd) {
    if (m_magnifiers.erase(hwnd) != 0) {
        m_magnifierParents.erase(hwnd);
        return;
    }
    const auto it = m_dialogs.find(hwnd);
    if (it == m_dialogs.end()) {
        return;
    }
    if (m_menu && m_menu->owner() == hwnd) {
        m_menu.reset();
    }
    for (auto child = m_magnifierParents.begin(); child != m_magnifierParents.end();) {
        if (child->second == hwnd) {
            m_magnifiers.erase(child->first);
            child = m_magnifierParents.erase(child);
        } else {
            ++child;
        }
    }
    m_timers.killAll(hwnd);
    std::unique_ptr<DialogWindow> destroyed = std::move(it->second);
    m_dialogs.erase(it);
    DialogEvents& events = destroyed->events();
    destroyed.reset();
    XFlush(m_display);
    events.onNcDestroy();
}

void X11Platform::defaultProcessing(WindowHandle hwnd) {
    if (m_dispatching.empty() || m_dispatching.back().hwnd != hwnd) {
        return;
    }
    const Dispatching current = m_dispatching.back();
    DialogWindow* d = dialog(hwnd);
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
            d->events().onCommand(win::IDCANCEL);
        }
        break;
    case Dispatch::Timer:
    case Dispatch::Key:
        break;
    }
}

bool X11Platform::isDialogMessage(WindowHandle hwnd, Message& msg) {
    DialogWindow* d = dialog(hwnd);
    if (d == nullptr || (msg.message != win::WM_KEYDOWN && msg.message != win::WM_SYSKEYDOWN)) {
        return false;
    }
    if (msg.message == win::WM_KEYDOWN && msg.wParam == vk::kReturn) {
        d->events().onCommand(static_cast<std::uint32_t>(d->defaultCommand()));
    } else if (msg.message == win::WM_KEYDOWN && msg.wParam == vk::kEscape) {
        d->events().onCommand(win::IDCANCEL);
    } else {
        // The dialog manager dispatches every other key of its dialog itself.
        defaultKey(hwnd, msg);
    }
    return true;
}

// ------------------------------------------------------------------ resources, keys, menus

IconHandle X11Platform::loadIcon(int id) {
    return id == IDR_MAIN_ICON ? IconHandle{IDR_MAIN_ICON} : 0;
}

AccelHandle X11Platform::loadAccelerators(int id) {
    return id == IDR_MIRROR_ACCEL ? AccelHandle{IDR_MIRROR_ACCEL} : 0;
}

std::u16string X11Platform::loadString(int id) {
    return std::u16string(res::FindString(id));
}

bool X11Platform::translateAccelerator(WindowHandle hwnd, AccelHandle accel, Message& msg) {
    if (accel != IDR_MIRROR_ACCEL || msg.native == nullptr || dialog(hwnd) == nullptr ||
        (msg.message != win::WM_KEYDOWN && msg.message != win::WM_SYSKEYDOWN)) {
        return false;
    }
    const auto& key = *static_cast<const XKeyEvent*>(msg.native);
    const auto command = MatchAccelerator(res::kMirrorAccelerators,
                                          static_cast<std::uint16_t>(msg.wParam), ModifiersOf(key));
    if (!command) {
        return false;
    }
    dialog(hwnd)->events().onCommand(*command);
    return true;
}

MenuHandle X11Platform::getSystemMenu(WindowHandle hwnd) {
    const DialogWindow* d = dialog(hwnd);
    return d != nullptr && d->hasSystemMenu() ? MenuHandle{hwnd} : 0;
}

void X11Platform::appendMenu(MenuHandle menu, std::uint32_t flags, std::uintptr_t id,
                             std::u16string_view text) {
    DialogWindow* d = dialog(menu);
    if (d == nullptr || !d->hasSystemMenu()) {
        return;
    }
    const bool separator = (flags & win::MF_SEPARATOR) != 0;
    d->systemMenu().push_back(
        {separator, static_cast<std::uint32_t>(id), separator ? u"" : std::u16string(text)});
}

// ------------------------------------------------------------------ painting

DeviceContextHandle X11Platform::beginPaint(WindowHandle hwnd) {
    return dialog(hwnd) != nullptr ? DeviceContextHandle{hwnd} : 0;
}

void X11Platform::endPaint(WindowHandle, DeviceContextHandle) {}

void X11Platform::sendIconEraseBackground(WindowHandle hwnd, DeviceContextHandle) {
    if (const DialogWindow* d = dialog(hwnd)) {
        d->paintBackground();
    }
}

int X11Platform::getSystemMetrics(int index) {
    return index == win::SM_CXICON || index == win::SM_CYICON ? kIconSize : 0;
}

void X11Platform::drawIcon(DeviceContextHandle dc, int x, int y, IconHandle icon) {
    if (dc != 0 && icon == IDR_MAIN_ICON && dialog(dc) != nullptr) {
        DrawIcon(m_display, m_screen, dc, x, y);
    }
}

// ------------------------------------------------------------------ process, shell, help

std::uint32_t X11Platform::getModuleFileName(char16_t* buffer, std::uint32_t size) {
    return ModuleFileName(buffer, size);
}

int X11Platform::messageBox(WindowHandle owner, std::u16string_view text,
                            std::u16string_view caption, std::uint32_t) {
    const DialogFont* font = nullptr;
    try {
        font = &fontFor(res::kDialogFont, MessageBoxDialog::kPointSize);
    } catch (const std::runtime_error&) {
    }
    const int textUnits = font == nullptr ? 0 : font->pixelsToUnitsX(font->textWidth(text));
    MessageBoxDialog box(*this, text, caption, textUnits);
    const WindowHandle hwnd =
        font == nullptr ? 0 : createDialogWindow(box.dialogTemplate(), owner, box);
    if (hwnd == 0) {
        // MessageBoxW fails; the message itself must not be lost.
        std::fprintf(stderr, "Kestrove: %s\n", ToUtf8(text).c_str());
        return 0;
    }
    runModalLoop(hwnd, dialog(owner) != nullptr ? owner : 0, box);
    hideWindow(hwnd);
    destroyWindow(hwnd);
    return win::IDOK;
}

bool X11Platform::winHelp(WindowHandle, std::u16string_view, std::uint32_t, std::uintptr_t) {
    return false; // X11 has no help engine
}

void X11Platform::initCommonControls(std::uint32_t) {}

bool X11Platform::registerApplicationRestart(std::u16string_view, std::uint32_t) {
    return false; // X11 has no restart facility
}

std::u16string X11Platform::commandLineArguments() {
    return JoinArguments(m_arguments);
}

bool X11Platform::createGuid(Guid& guid) {
    return RandomGuid(guid);
}

// ------------------------------------------------------------------ version information

std::uint32_t X11Platform::getFileVersionInfoSize(const char16_t* path) {
    return ReadVersionSectionSize(path);
}

bool X11Platform::getFileVersionInfo(const char16_t* path, std::uint32_t size, void* block) {
    return ReadVersionSection(path, size, block);
}

bool X11Platform::verQueryValue(const void* block, const char16_t* subBlock, const void** value,
                                std::uint32_t* length) {
    return QueryVersionValue(block, subBlock, value, length);
}

// ------------------------------------------------------------------ the event loop

std::optional<Clock::time_point> X11Platform::nextDeadline() const {
    std::optional<Clock::time_point> next = m_timers.nextDeadline();
    for (const auto& [window, d] : m_dialogs) {
        if (d->resizeSettlesAt && (!next || *d->resizeSettlesAt < *next)) {
            next = d->resizeSettlesAt;
        }
    }
    return next;
}

void X11Platform::waitForConnection(Clock::time_point deadline) {
    XFlush(m_display);
    if (XPending(m_display) > 0) {
        return;
    }
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
    // Round up, so the wait never ends just before the deadline.
    poll(&connection, 1, static_cast<int>(std::clamp<long long>(remaining + 1, 0, 60'000)));
}

void X11Platform::fireDueTimers() {
    const auto now = Clock::now();
    for (const TimerQueue::Due& due : m_timers.takeDue(now)) {
        if (DialogWindow* d = dialog(due.hwnd)) {
            DispatchScope scope(*this, due.hwnd, Dispatch::Timer);
            d->events().onTimer(due.id);
        }
    }
    std::vector<Window> settled;
    for (const auto& [window, d] : m_dialogs) {
        if (d->resizeSettlesAt && *d->resizeSettlesAt <= now) {
            d->resizeSettlesAt.reset();
            settled.push_back(window);
        }
    }
    for (const Window window : settled) {
        sysCommand(window, win::SC_SIZE);
    }
}

void X11Platform::pumpOnce() {
    fireDueTimers();
    if (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        processEvent(event);
        return;
    }
    const auto deadline = nextDeadline().value_or(Clock::now() + std::chrono::seconds{60});
    waitForConnection(deadline);
}

void X11Platform::processEvent(XEvent& event) {
    for (const auto& [window, mag] : m_magnifiers) {
        if (mag->handleEvent(event)) {
            return;
        }
    }
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping); // keysyms are looked up client-side
        return;
    }
    if (m_menu) {
        const bool input =
            event.type == KeyPress || event.type == ButtonPress || event.type == ButtonRelease;
        if (input || m_menu->isMenuWindow(event.xany.window)) {
            menuEvent(event);
            return;
        }
    }
    DialogWindow* d = dialogOfEventWindow(event.xany.window);
    if (d == nullptr) {
        return;
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
            handleConfigure(*d, event.xconfigure, false);
        }
        break;
    case MapNotify:
        if (event.xmap.window == hwnd && enabled) {
            focus(hwnd);
        }
        break;
    case ClientMessage:
        if (enabled && event.xclient.message_type == m_atoms.wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == m_atoms.wmDeleteWindow) {
            sysCommand(hwnd, win::SC_CLOSE);
        }
        break;
    case KeyPress:
        if (enabled) {
            handleKey(*d, event.xkey);
        }
        break;
    case ButtonPress:
    case ButtonRelease:
        if (enabled) {
            handleButton(*d, event.xbutton);
        }
        break;
    default:
        break;
    }
}

void X11Platform::paint(WindowHandle hwnd) {
    DialogWindow* d = dialog(hwnd);
    DispatchScope scope(*this, hwnd, Dispatch::Paint);
    if (!d->events().onPaint()) {
        d->paintBackground();
    }
}

void X11Platform::sysCommand(WindowHandle hwnd, std::uint32_t command) {
    if (DialogWindow* d = dialog(hwnd)) {
        DispatchScope scope(*this, hwnd, Dispatch::SysCommand, command);
        d->events().onSysCommand(command, 0);
    }
}

void X11Platform::handleKey(DialogWindow& d, XKeyEvent& key) {
    const std::uint16_t code = VirtualKeyOf(key);
    if (code == 0) {
        return; // modifiers and keys the program has no code for
    }
    const WindowHandle hwnd = d.window();
    Message msg{hwnd, ModifiersOf(key).alt ? win::WM_SYSKEYDOWN : win::WM_KEYDOWN, code, 0, &key};
    DispatchScope scope(*this, hwnd, Dispatch::Key);
    if (!d.events().onPreTranslateMessage(msg)) {
        defaultKey(hwnd, msg);
    }
}

void X11Platform::defaultKey(WindowHandle hwnd, const Message& msg) {
    DialogWindow* d = dialog(hwnd);
    if (d == nullptr || msg.native == nullptr) {
        return;
    }
    const KeyModifiers modifiers = ModifiersOf(*static_cast<const XKeyEvent*>(msg.native));
    const KeyModifiers none{};
    const KeyModifiers altOnly{false, false, true};
    const KeyModifiers shiftOnly{false, true, false};
    if (msg.wParam == vk::kF1 && modifiers == none) {
        d->events().onHelp();
    } else if (msg.wParam == vk::kF4 && modifiers == altOnly) {
        sysCommand(hwnd, win::SC_CLOSE);
    } else if ((msg.wParam == vk::kApps && modifiers == none) ||
               (msg.wParam == vk::kF10 && modifiers == shiftOnly) ||
               (msg.wParam == vk::kSpace && modifiers == altOnly)) {
        openSystemMenuAtWindow(hwnd);
    }
}

void X11Platform::handleButton(DialogWindow& d, const XButtonEvent& button) {
    DialogControl* control = d.controlOfWindow(button.window);
    if (button.type == ButtonPress) {
        if (button.button == Button1 && control != nullptr) {
            m_pressedButton = control->window;
        } else if (button.button == Button3 && control == nullptr) {
            openSystemMenu(d.window(), button.x_root + 1, button.y_root + 1);
        }
        return;
    }
    if (button.button != Button1 || control == nullptr || control->window != m_pressedButton) {
        return;
    }
    m_pressedButton = 0;
    if (button.x >= 0 && button.y >= 0 && button.x < control->width && button.y < control->height) {
        d.events().onCommand(static_cast<std::uint32_t>(control->id));
    }
}

void X11Platform::openSystemMenu(WindowHandle hwnd, int rootX, int rootY) {
    DialogWindow* d = dialog(hwnd);
    if (d == nullptr || d->systemMenu().empty() || m_menu) {
        return;
    }
    m_menu = std::make_unique<PopupMenu>(m_display, m_screen, m_atoms, d->font(), d->systemMenu(),
                                         hwnd, rootX, rootY);
}

void X11Platform::openSystemMenuAtWindow(WindowHandle hwnd) {
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(m_display, hwnd, m_root, 0, 0, &x, &y, &child);
    openSystemMenu(hwnd, x, y);
}

void X11Platform::menuEvent(const XEvent& event) {
    const PopupMenu::Result result = m_menu->handleEvent(event);
    if (result.outcome == PopupMenu::Outcome::Open) {
        return;
    }
    const WindowHandle owner = m_menu->owner();
    m_menu.reset();
    focus(owner);
    if (result.outcome == PopupMenu::Outcome::Chosen) {
        sysCommand(owner, result.command);
    }
}

void X11Platform::focus(WindowHandle hwnd) {
    XWindowAttributes attributes{};
    if (dialog(hwnd) != nullptr && XGetWindowAttributes(m_display, hwnd, &attributes) != 0 &&
        attributes.map_state == IsViewable) {
        XSetInputFocus(m_display, hwnd, RevertToParent, CurrentTime);
    }
}

} // namespace kestrove::x11
