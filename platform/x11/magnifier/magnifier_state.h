// The magnifier window's state, and every event that changes it: whether the
// window is still there and can be seen, and what its next paint must draw.
// Nothing is scaled while the window cannot be seen; once seen again, and
// after a change of size, source or transform or an exposure, the picture is
// drawn whole.
#pragma once

namespace kestrove::x11 {

class MagnifierState {
public:
    enum class Window {
        Seen,
        Hidden,           // its parent is unmapped (minimised)
        Covered,          // other windows cover all of it
        HiddenAndCovered, // both
        Gone,             // destroyed
    };
    enum class Picture {
        Stale,     // drawn whole next
        Direct,    // current; last drawn straight into the window
        OffScreen, // current; last composed in the back buffer (the cursor over it)
    };

    // The window's size, the source or the transform changed, or it was exposed.
    void changed() { m_picture = Picture::Stale; }
    void painted(bool offScreen) { m_picture = offScreen ? Picture::OffScreen : Picture::Direct; }
    // Mapped again, or uncovered, it shows one whole, current picture.
    void parentMapped(bool mapped) {
        see(!mapped, covered());
        if (mapped) {
            changed();
        }
    }
    void coveredAll(bool covered) {
        see(hidden(), covered);
        if (!covered) {
            changed();
        }
    }
    void windowGone() { m_window = Window::Gone; }

    Window window() const { return m_window; }
    Picture picture() const { return m_picture; }
    bool seen() const { return m_window == Window::Seen; }
    bool gone() const { return m_window == Window::Gone; }
    bool stale() const { return m_picture == Picture::Stale; }
    bool composedOffScreen() const { return m_picture == Picture::OffScreen; }

private:
    bool hidden() const {
        return m_window == Window::Hidden || m_window == Window::HiddenAndCovered;
    }
    bool covered() const {
        return m_window == Window::Covered || m_window == Window::HiddenAndCovered;
    }
    void see(bool hidden, bool covered) {
        if (gone()) {
            return;
        }
        m_window = hidden && covered ? Window::HiddenAndCovered
                   : hidden          ? Window::Hidden
                   : covered         ? Window::Covered
                                     : Window::Seen;
    }

    Window m_window = Window::Seen;
    Picture m_picture = Picture::Stale;
};

} // namespace kestrove::x11
