#include "platform/x11/accessibility/accessible_tree.h"

#include "common/utf.h"
#include "platform/x11/accessibility/accessibility_bus.h"
#include "platform/x11/accessibility/atk_node.h"
#include "platform/x11/accessibility/atk_toolkit.h"

#include <atk-bridge.h>

#include <stdlib.h>

#include <algorithm>
#include <string>

namespace kestrove::x11 {

namespace {

using a11y::Node;
using a11y::NodeKind;

AtkRole AtkRoleOf(AccessibleRole role) {
    switch (role) {
    case AccessibleRole::Frame:
        return ATK_ROLE_FRAME;
    case AccessibleRole::Dialog:
        return ATK_ROLE_DIALOG;
    case AccessibleRole::Alert:
        return ATK_ROLE_ALERT;
    case AccessibleRole::Menu:
        return ATK_ROLE_MENU;
    case AccessibleRole::Icon:
        return ATK_ROLE_ICON;
    case AccessibleRole::Label:
        return ATK_ROLE_LABEL;
    case AccessibleRole::PushButton:
        return ATK_ROLE_PUSH_BUTTON;
    case AccessibleRole::MenuItem:
        return ATK_ROLE_MENU_ITEM;
    }
    return ATK_ROLE_UNKNOWN;
}

NodeKind KindOf(AccessibleRole role) {
    switch (role) {
    case AccessibleRole::Frame:
    case AccessibleRole::Dialog:
    case AccessibleRole::Alert:
    case AccessibleRole::Menu:
        return NodeKind::Window;
    case AccessibleRole::PushButton:
    case AccessibleRole::MenuItem:
        return NodeKind::Action;
    case AccessibleRole::Label:
        return NodeKind::Text;
    case AccessibleRole::Icon:
        break;
    }
    return NodeKind::Plain;
}

void NotifyState(const Node& node, AtkStateType state, bool on) {
    atk_object_notify_state_change(node.object, state, on ? TRUE : FALSE);
}

} // namespace

AccessibleTree::AccessibleTree(Display* display, std::u16string_view applicationName)
    : m_display(display) {
    const std::optional<std::string> bus = a11y::FindAccessibilityBus(display);
    if (!bus) {
        return;
    }
    // atk-bridge takes the address found within our time limit instead of
    // asking (and possibly waiting on) the session bus again.
    ::setenv("AT_SPI_BUS_ADDRESS", bus->c_str(), 1);
    m_root = std::make_unique<Node>();
    m_root->object = a11y::NewAccessibleObject(NodeKind::Plain, *m_root);
    atk_object_set_role(m_root->object, ATK_ROLE_APPLICATION);
    atk_object_set_name(m_root->object, ToUtf8(applicationName).c_str());
    a11y::InstallAtkToolkit(m_root->object);
    // The bridge runs on GLib's default main context, which this thread owns
    // and runs from the event loop.
    m_pump = std::make_unique<a11y::GlibContextPump>();
    m_active = atk_bridge_adaptor_init(nullptr, nullptr) == 0;
    if (!m_active) {
        a11y::InstallAtkToolkit(nullptr);
        m_pump.reset();
        g_object_unref(m_root->object);
        m_root.reset();
    }
}

AccessibleTree::~AccessibleTree() {
    if (!m_active) {
        return;
    }
    atk_bridge_adaptor_cleanup();
    for (auto& [window, node] : m_nodes) {
        a11y::DetachAccessibleObject(node->object);
        g_object_unref(node->object);
    }
    m_nodes.clear();
    a11y::InstallAtkToolkit(nullptr);
    a11y::DetachAccessibleObject(m_root->object);
    g_object_unref(m_root->object);
}

a11y::Node* AccessibleTree::node(Window window) const {
    const auto found = m_nodes.find(window);
    return found == m_nodes.end() ? nullptr : found->second.get();
}

void AccessibleTree::add(Window window, Node* parent, AccessibleRole role, std::u16string_view name,
                         std::unique_ptr<Node> created) {
    Node& n = *created;
    n.parent = parent;
    n.display = m_display;
    n.window = window;
    n.object = a11y::NewAccessibleObject(KindOf(role), n);
    atk_object_set_role(n.object, AtkRoleOf(role));
    atk_object_set_name(n.object, ToUtf8(name).c_str());
    atk_object_set_parent(n.object, parent->object);
    parent->children.push_back(&n);
    m_nodes[window] = std::move(created);
    g_signal_emit_by_name(parent->object, "children-changed::add",
                          static_cast<guint>(parent->children.size() - 1), n.object);
}

void AccessibleTree::addWindow(Window window, AccessibleRole role, std::u16string_view name,
                               bool modal) {
    if (!m_active) {
        return;
    }
    auto created = std::make_unique<Node>();
    created->states.modal = modal;
    created->states.resizable = role == AccessibleRole::Frame;
    add(window, m_root.get(), role, name, std::move(created));
    g_signal_emit_by_name(node(window)->object, "create");
}

void AccessibleTree::addControl(Window parent, Window control, AccessibleRole role,
                                std::u16string_view name, bool isDefault,
                                std::function<void()> press) {
    Node* parentNode = m_active ? node(parent) : nullptr;
    if (parentNode == nullptr) {
        return;
    }
    auto created = std::make_unique<Node>();
    created->states.showing = parentNode->states.showing;
    created->states.focusable = static_cast<bool>(press);
    created->states.isDefault = isDefault;
    if (role == AccessibleRole::Label) {
        created->text = ToUtf8(name);
    }
    if (press) {
        // Clicks come in while the bus is being dispatched: they wait for
        // the event loop, where a dialog may run a loop of its own.
        created->press = [this, control, press = std::move(press)] {
            m_pressed.emplace_back(control, press);
            g_main_context_wakeup(g_main_context_default());
        };
    }
    add(control, parentNode, role, name, std::move(created));
}

void AccessibleTree::remove(Window window) {
    Node* n = m_active ? node(window) : nullptr;
    if (n == nullptr) {
        return;
    }
    while (!n->children.empty()) {
        const Window child = std::find_if(m_nodes.begin(), m_nodes.end(), [&](const auto& entry) {
                                 return entry.second.get() == n->children.back();
                             })->first;
        remove(child);
    }
    if (m_focused == window) {
        m_focused = 0;
    }
    std::erase_if(m_pressed, [&](const auto& pressed) { return pressed.first == window; });
    if (n->parent == m_root.get()) {
        g_signal_emit_by_name(n->object, "destroy");
    }
    auto& siblings = n->parent->children;
    const auto at = std::find(siblings.begin(), siblings.end(), n);
    const auto index = static_cast<guint>(at - siblings.begin());
    siblings.erase(at);
    g_signal_emit_by_name(n->parent->object, "children-changed::remove", index, n->object);
    a11y::DetachAccessibleObject(n->object);
    g_object_unref(n->object);
    m_nodes.erase(window);
}

void AccessibleTree::setName(Window window, std::u16string_view name) {
    if (Node* n = m_active ? node(window) : nullptr) {
        const std::string text = ToUtf8(name);
        if (atk_object_get_role(n->object) == ATK_ROLE_LABEL) {
            n->text = text;
        }
        atk_object_set_name(n->object, text.c_str());
    }
}

void AccessibleTree::setShowing(Window window, bool showing) {
    Node* n = m_active ? node(window) : nullptr;
    if (n == nullptr || n->states.showing == showing) {
        return;
    }
    const std::function<void(Node&)> apply = [&](Node& each) {
        each.states.showing = showing;
        NotifyState(each, ATK_STATE_VISIBLE, showing);
        NotifyState(each, ATK_STATE_SHOWING, showing);
        for (Node* child : each.children) {
            apply(*child);
        }
    };
    apply(*n);
}

void AccessibleTree::setEnabled(Window window, bool enabled) {
    Node* n = m_active ? node(window) : nullptr;
    if (n == nullptr || n->states.enabled == enabled) {
        return;
    }
    n->states.enabled = enabled;
    NotifyState(*n, ATK_STATE_ENABLED, enabled);
    NotifyState(*n, ATK_STATE_SENSITIVE, enabled);
}

void AccessibleTree::setActive(Window window, bool active) {
    Node* n = m_active ? node(window) : nullptr;
    if (n == nullptr || n->states.active == active) {
        return;
    }
    n->states.active = active;
    NotifyState(*n, ATK_STATE_ACTIVE, active);
    g_signal_emit_by_name(n->object, active ? "activate" : "deactivate");
}

void AccessibleTree::setFocus(Window window) {
    if (!m_active || window == m_focused) {
        return;
    }
    if (Node* before = node(m_focused)) {
        before->states.focused = false;
        NotifyState(*before, ATK_STATE_FOCUSED, false);
    }
    m_focused = 0;
    if (Node* now = node(window)) {
        m_focused = window;
        now->states.focused = true;
        NotifyState(*now, ATK_STATE_FOCUSED, true);
    }
}

// ------------------------------------------------------------ event loop

std::optional<Clock::time_point> AccessibleTree::nextDeadline() const {
    if (!m_active) {
        return std::nullopt;
    }
    m_busWait = m_pump->wait();
    if (!m_pressed.empty()) {
        return Clock::now();
    }
    return m_busWait.deadline;
}

std::vector<int> AccessibleTree::waitDescriptors() const {
    return m_busWait.descriptors;
}

void AccessibleTree::dispatchDescriptors() {
    runBusEvents();
}

void AccessibleTree::fireDue(Clock::time_point now) {
    if (m_busWait.deadline && *m_busWait.deadline <= now) {
        m_busWait.deadline.reset();
        runBusEvents();
    }
    // Each click runs once, outside the bus's dispatch.
    std::vector<std::pair<Window, std::function<void()>>> pressed;
    pressed.swap(m_pressed);
    for (const auto& [window, press] : pressed) {
        if (node(window) != nullptr) {
            press();
        }
    }
}

void AccessibleTree::runBusEvents() {
    if (!m_active) {
        return;
    }
    m_pump->run();
}

} // namespace kestrove::x11
