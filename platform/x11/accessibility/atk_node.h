// The accessible objects Kestrove shows on the accessibility bus: ATK
// objects whose role, name, children, states and action come from a Node
// that the accessible tree keeps. atk-bridge reads them for AT-SPI.
#pragma once

#include <X11/Xlib.h>
#include <atk/atk.h>

#include <functional>
#include <string>
#include <vector>

namespace kestrove::x11::a11y {

struct NodeStates {
    bool enabled = true;
    bool showing = false;
    bool focusable = false;
    bool focused = false;
    bool isDefault = false;
    bool modal = false;
    bool active = false;
    bool resizable = false;
};

// What an accessible object is made of besides what ATK keeps itself
// (name, role, parent).
struct Node {
    AtkObject* object = nullptr; // owned: one reference
    Node* parent = nullptr;
    std::vector<Node*> children;
    NodeStates states;
    std::string text;            // the text of a label, UTF-8
    std::function<void()> press; // the "click" action; empty for none
    Display* display = nullptr;  // where the object's window is, for its extents
    Window window = 0;
};

// Every object has its extents (AtkComponent); the kinds differ in what
// else they offer: a window (AtkWindow and its events), a button or menu
// item (AtkAction), a label (AtkText).
enum class NodeKind { Plain, Window, Action, Text };

// A new object for `node`, with the reference the node owns.
AtkObject* NewAccessibleObject(NodeKind kind, Node& node);

// The node is going: the object, which clients may still hold, reports
// itself defunct from now on.
void DetachAccessibleObject(AtkObject* object);

} // namespace kestrove::x11::a11y
