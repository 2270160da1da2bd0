#include "tests/harness/cursor_changer.h"

#include <X11/Xlib.h>
#include <X11/cursorfont.h>

#include <chrono>

namespace kestrove::e2e {

CursorChanger::CursorChanger(const std::string& display)
    : m_thread([this, display] {
          Display* d = XOpenDisplay(display.c_str());
          if (d == nullptr) {
              return;
          }
          const Cursor cursors[] = {XCreateFontCursor(d, XC_watch),
                                    XCreateFontCursor(d, XC_crosshair)};
          for (unsigned i = 0; !m_stop; ++i) {
              XDefineCursor(d, DefaultRootWindow(d), cursors[i % 2]);
              XFlush(d);
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
          XCloseDisplay(d);
      }) {}

CursorChanger::~CursorChanger() {
    m_stop = true;
    m_thread.join();
}

} // namespace kestrove::e2e
