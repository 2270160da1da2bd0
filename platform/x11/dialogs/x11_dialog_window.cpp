#include "platform/x11/dialogs/x11_dialog_window.h"

#include "platform/x11/dialogs/line_breaker.h"
#include "platform/x11/dialogs/x11_dpi.h"
#include "platform/x11/dialogs/x11_icon.h"
#include "platform/x11/dialogs/x11_paint.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <unistd.h>

#include <algorithm>
#include <string>

namespace kestrove::x11 {

namespace {

constexpr long kMotifFunctions = 1L << 0;
constexpr long kMotifDecorations = 1L << 1;
constexpr long kFunctionResize = 1L << 1;
constexpr long kFunctionMove = 1L << 2;
constexpr long kFunctionMinimize = 1L << 3;
constexpr long kFunctionClose = 1L << 5;
constexpr long kDecorBorder = 1L << 1;
constexpr long kDecorResizeHandle = 1L << 2;
constexpr long kDecorTitle = 1L << 3;
constexpr long kDecorMenu = 1L << 4;
constexpr long kDecorMinimize = 1L << 5;

constexpr std::uint32_t kStaticTypeMask = 0x1F;

bool IsIconStatic(const DialogControl& control) {
    return control.classOrdinal == res::kClassStatic &&
           (control.style & kStaticTypeMask) == res::SS_ICON;
}

bool IsButton(const DialogControl& control) {
    return control.classOrdinal == res::kClassButton;
}

bool IsDefaultButton(const DialogControl& control) {
    return IsButton(control) && (control.style & 0x0F) == res::BS_DEFPUSHBUTTON;
}

// What a static or button says, without the access-key marks it shows as
// underlines.
std::u16string AccessibleName(const DialogControl& control) {
    if (IsIconStatic(control)) {
        return {};
    }
    const bool noPrefix =
        control.classOrdinal == res::kClassStatic && (control.style & res::SS_NOPREFIX) != 0;
    return noPrefix ? control.text : StripAccessKey(control.text).text;
}

bool IsTabStop(const DialogControl& control) {
    constexpr std::uint32_t kNeeded = res::WS_TABSTOP | res::WS_VISIBLE;
    return (control.style & kNeeded) == kNeeded;
}

} // namespace

DialogWindow::DialogWindow(Display* display, int screen, const Atoms& atoms, const DialogFont& font,
                           AccessibleTree& accessible, AccessibleRole role,
                           const res::DialogTemplate& dialogTemplate, Window owner, int x, int y,
                           DialogEvents& events)
    : m_display(display), m_screen(screen), m_atoms(atoms), m_font(font), m_accessible(accessible),
      m_events(events), m_style(dialogTemplate.style), m_owner(owner),
      m_width(std::max(1, font.unitsToPixelsX(dialogTemplate.cx))),
      m_height(std::max(1, font.unitsToPixelsY(dialogTemplate.cy))) {
    XSetWindowAttributes attributes{};
    // No background: the dialog paints its own, and the mirror's magnifier
    // child covers the rest, so nothing flickers.
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | StructureNotifyMask | KeyPressMask | ButtonPressMask |
                            ButtonReleaseMask | PropertyChangeMask | FocusChangeMask;
    m_window =
        XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(m_width),
                      static_cast<unsigned>(m_height), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWBackPixmap | CWEventMask, &attributes);

    XClassHint classHint{};
    classHint.res_name = const_cast<char*>("Kestrove");
    classHint.res_class = const_cast<char*>("Kestrove");
    XSetClassHint(display, m_window, &classHint);

    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(display, m_window, &wmHints);

    Atom protocols[] = {atoms.wmDeleteWindow};
    XSetWMProtocols(display, m_window, protocols, 1);
    SetCardinals(display, m_window, atoms.netWmPid, XA_CARDINAL, {static_cast<long>(getpid())});

    if (owner != 0) {
        XSetTransientForHint(display, m_window, owner);
        SetCardinals(display, m_window, atoms.netWmWindowType, XA_ATOM,
                     {static_cast<long>(atoms.netWmWindowTypeDialog)});
        SetCardinals(display, m_window, atoms.netWmState, XA_ATOM,
                     {static_cast<long>(atoms.netWmStateModal)});
    } else {
        SetCardinals(display, m_window, atoms.netWmWindowType, XA_ATOM,
                     {static_cast<long>(atoms.netWmWindowTypeNormal)});
    }
    setFrameHints(dialogTemplate);
    setSizeHints();
    accessible.addWindow(m_window, role, dialogTemplate.caption, owner != 0);
    setTitle(dialogTemplate.caption);

    for (const res::DialogControl& control : dialogTemplate.controls) {
        createControl(control);
    }
    if (hasSystemMenu()) {
        m_systemMenu.push_back({false, win::SC_CLOSE, u"閉じる(&C)"});
    }
}

DialogWindow::~DialogWindow() {
    m_accessible.remove(m_window);
    XDestroyWindow(m_display, m_window);
}

bool DialogWindow::visibleStyle() const {
    return (m_style & res::WS_VISIBLE) != 0;
}

bool DialogWindow::hasSystemMenu() const {
    return (m_style & res::WS_SYSMENU) != 0;
}

bool DialogWindow::updateSize(int width, int height) {
    if (width == m_width && height == m_height) {
        return false;
    }
    m_width = width;
    m_height = height;
    if ((m_style & res::WS_THICKFRAME) == 0) {
        setSizeHints();
    }
    return true;
}

void DialogWindow::setTitle(std::u16string_view text) {
    SetWindowName(m_display, m_atoms, m_window, text);
    m_accessible.setName(m_window, text);
}

void DialogWindow::setAspect(int width, int height) {
    // Rewritten hints make some window managers configure the window again.
    if (static_cast<long long>(width) * m_aspectY == static_cast<long long>(height) * m_aspectX &&
        m_aspectX > 0) {
        return;
    }
    m_aspectX = width;
    m_aspectY = height;
    setSizeHints();
}

void DialogWindow::setSizeHints() const {
    XSizeHints hints{};
    if ((m_style & res::WS_THICKFRAME) == 0) {
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = m_width;
        hints.min_height = hints.max_height = m_height;
    }
    if (m_aspectX > 0 && m_aspectY > 0) {
        hints.flags |= PAspect;
        hints.min_aspect.x = hints.max_aspect.x = m_aspectX;
        hints.min_aspect.y = hints.max_aspect.y = m_aspectY;
    }
    XSetWMNormalHints(m_display, m_window, &hints);
}

void DialogWindow::setFrameHints(const res::DialogTemplate& dialogTemplate) const {
    const bool resizable = (dialogTemplate.style & res::WS_THICKFRAME) != 0;
    const bool minimizable = (dialogTemplate.style & res::WS_MINIMIZEBOX) != 0;
    long functions = kFunctionMove | kFunctionClose;
    long decorations = kDecorBorder | kDecorTitle | kDecorMenu;
    if (resizable) {
        functions |= kFunctionResize;
        decorations |= kDecorResizeHandle;
    }
    if (minimizable) {
        functions |= kFunctionMinimize;
        decorations |= kDecorMinimize;
    }
    // No maximise: the window's height follows the mirrored monitor.
    SetCardinals(m_display, m_window, m_atoms.motifWmHints, m_atoms.motifWmHints,
                 {kMotifFunctions | kMotifDecorations, functions, decorations, 0, 0});
}

void DialogWindow::createControl(const res::DialogControl& source) {
    DialogControl control{source.id,
                          source.classOrdinal,
                          source.style,
                          source.iconId,
                          std::u16string(source.text),
                          0,
                          std::max(1, m_font.unitsToPixelsX(source.cx)),
                          std::max(1, m_font.unitsToPixelsY(source.cy))};
    if (IsIconStatic(control)) {
        // An icon static takes the size of its icon.
        control.width = control.height = IconSize(m_display);
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixel =
        PixelOf(m_display, m_screen, IsButton(control) ? colors::kButtonFace : colors::kDialogFace);
    attributes.event_mask =
        ExposureMask | (IsButton(control) ? ButtonPressMask | ButtonReleaseMask : NoEventMask);
    control.window = XCreateWindow(
        m_display, m_window, m_font.unitsToPixelsX(source.x), m_font.unitsToPixelsY(source.y),
        static_cast<unsigned>(control.width), static_cast<unsigned>(control.height), 0,
        CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    SetWindowName(m_display, m_atoms, control.window, control.text);
    if ((source.style & res::WS_VISIBLE) != 0) {
        XMapWindow(m_display, control.window);
    }
    if (IsButton(control)) {
        m_accessible.addControl(
            m_window, control.window, AccessibleRole::PushButton, StripAccessKey(control.text).text,
            IsDefaultButton(control),
            [this, id = control.id] { m_events.deliverCommand(static_cast<std::uint32_t>(id)); });
    } else {
        m_accessible.addControl(m_window, control.window,
                                IsIconStatic(control) ? AccessibleRole::Icon
                                                      : AccessibleRole::Label,
                                AccessibleName(control), false, {});
    }
    m_controls.push_back(std::move(control));
}

DialogControl* DialogWindow::control(int id) {
    auto it = std::find_if(m_controls.begin(), m_controls.end(),
                           [id](const DialogControl& c) { return c.id == id; });
    return it == m_controls.end() ? nullptr : &*it;
}

DialogControl* DialogWindow::controlOfWindow(Window window) {
    auto it = std::find_if(m_controls.begin(), m_controls.end(),
                           [window](const DialogControl& c) { return c.window == window; });
    return it == m_controls.end() ? nullptr : &*it;
}

void DialogWindow::setControlText(DialogControl& control, std::u16string_view text) {
    control.text = std::u16string(text);
    m_accessible.setName(control.window, AccessibleName(control));
    SetWindowName(m_display, m_atoms, control.window, control.text);
    XClearArea(m_display, control.window, 0, 0, 0, 0, True);
}

int DialogWindow::defaultCommand() const {
    if (const DialogControl* focused = focusedControl(); focused != nullptr && IsButton(*focused)) {
        return focused->id;
    }
    for (const DialogControl& c : m_controls) {
        if (IsDefaultButton(c)) {
            return c.id;
        }
    }
    return win::IDOK;
}

const DialogControl* DialogWindow::focusedControl() const {
    return m_focus ? &m_controls[*m_focus] : nullptr;
}

void DialogWindow::focusFirstTabStop() {
    const auto first = std::find_if(m_controls.begin(), m_controls.end(), IsTabStop);
    if (first != m_controls.end()) {
        setFocus(static_cast<std::size_t>(first - m_controls.begin()));
    }
}

void DialogWindow::moveFocus(bool backward) {
    const std::size_t count = m_controls.size();
    const std::size_t from = m_focus.value_or(backward ? 0 : count - 1);
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t i = backward ? (from + count - step) % count : (from + step) % count;
        if (IsTabStop(m_controls[i])) {
            setFocus(i);
            return;
        }
    }
}

void DialogWindow::setActive(bool active) {
    m_active = active;
    m_accessible.setActive(m_window, active);
    reportFocus();
}

void DialogWindow::setShown(bool shown) {
    m_shown = shown;
    m_accessible.setShowing(m_window, shown);
}

void DialogWindow::reportFocus() const {
    if (m_active) {
        m_accessible.setFocus(m_focus ? m_controls[*m_focus].window : m_window);
    }
}

void DialogWindow::setFocus(std::optional<std::size_t> index) {
    const std::optional<std::size_t> before = m_focus;
    if (before == index) {
        return;
    }
    m_focus = index;
    reportFocus();
    // Both controls repaint: the focus rectangle moves.
    for (const std::optional<std::size_t> changed : {before, index}) {
        if (changed) {
            XClearArea(m_display, m_controls[*changed].window, 0, 0, 0, 0, True);
        }
    }
}

void DialogWindow::paintBackground() const {
    FillRect(m_display, m_screen, m_window, 0, 0, m_width, m_height, colors::kDialogFace);
}

void DialogWindow::paintControl(const DialogControl& control) const {
    if (IsIconStatic(control)) {
        DrawIcon(m_display, m_screen, control.window, 0, 0, control.width,
                 res::FindIconGroup(control.iconId));
        return;
    }
    const bool noPrefix =
        control.classOrdinal == res::kClassStatic && (control.style & res::SS_NOPREFIX) != 0;
    const AccessKeyText label =
        noPrefix ? AccessKeyText{control.text, std::nullopt} : StripAccessKey(control.text);
    if (IsButton(control)) {
        if (IsDefaultButton(control)) {
            // The default button's frame is two pixels deep.
            DrawFrame(m_display, m_screen, control.window, 0, 0, control.width, control.height,
                      colors::kDefaultButtonBorder);
            DrawFrame(m_display, m_screen, control.window, 1, 1, control.width - 2,
                      control.height - 2, colors::kDefaultButtonBorder);
        } else {
            DrawFrame(m_display, m_screen, control.window, 0, 0, control.width, control.height,
                      colors::kButtonBorder);
        }
        if (&control == focusedControl()) {
            constexpr int kInset = 3;
            DrawFocusRect(m_display, m_screen, control.window, kInset, kInset,
                          control.width - 2 * kInset, control.height - 2 * kInset);
        }
        const int x = (control.width - m_font.textWidth(label.text)) / 2;
        const int baseline = (control.height - m_font.height()) / 2 + m_font.ascent();
        m_font.drawLabel(control.window, x, baseline, label, colors::kText);
        return;
    }
    // A static's text wraps at its width, as a Windows static control's does.
    const std::vector<std::u16string> lines =
        BreakLines(label.text, control.width,
                   [this](std::u16string_view piece) { return m_font.textWidth(piece); });
    if (lines.size() == 1) {
        m_font.drawLabel(control.window, 0, m_font.ascent(), label, colors::kText);
        return;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        m_font.draw(control.window, 0, m_font.ascent() + static_cast<int>(i) * m_font.height(),
                    lines[i], colors::kText);
    }
}

} // namespace kestrove::x11
