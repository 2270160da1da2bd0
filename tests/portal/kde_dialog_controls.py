#!/usr/bin/env python3
"""Lists the controls of KDE's screen-share dialog as AT-SPI shows them.

    kde_dialog_controls.py

One line per control that is showing: its role, x, y, width and height (from
the dialog window's top-left corner, the only place a Wayland client knows),
whether it is checked (1 or 0) and its name, separated by tabs. Prints nothing while no dialog is open.
"""
import sys

import pyatspi

# What a user clicks in the dialog: its buttons, the monitors' tiles and the
# choices beside them.
CLICKABLE = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_LIST_ITEM,
    pyatspi.ROLE_TABLE_CELL,
    pyatspi.ROLE_PAGE_TAB,
}


def controls(node, depth=0):
    if node is None or depth > 40:
        return
    try:
        states = node.getState()
        if not states.contains(pyatspi.STATE_SHOWING):
            return
        if node.getRole() in CLICKABLE:
            yield node
        children = list(node)
    except Exception:  # a control that went away while read
        return
    for child in children:
        yield from controls(child, depth + 1)


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    for application in desktop:
        if application is None or "portal" not in (application.name or "").lower():
            continue
        for window in application:
            for control in controls(window):
                extents = control.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
                print(
                    control.getRoleName(),
                    extents.x,
                    extents.y,
                    extents.width,
                    extents.height,
                    int(control.getState().contains(pyatspi.STATE_CHECKED)),
                    (control.name or "").replace("\t", " ").replace("\n", " "),
                    sep="\t",
                )
    return 0


if __name__ == "__main__":
    sys.exit(main())
