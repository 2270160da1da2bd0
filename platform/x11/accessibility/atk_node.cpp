#include "platform/x11/accessibility/atk_node.h"

namespace kestrove::x11::a11y {

namespace {

struct KestroveAccessible {
    AtkObject parent;
    Node* node;
};

struct KestroveAccessibleClass {
    AtkObjectClass parentClass;
};

AtkObjectClass* g_baseClass = nullptr;

Node* NodeOf(gpointer object) {
    return reinterpret_cast<KestroveAccessible*>(object)->node;
}

gint NChildren(AtkObject* object) {
    const Node* node = NodeOf(object);
    return node == nullptr ? 0 : static_cast<gint>(node->children.size());
}

AtkObject* RefChild(AtkObject* object, gint index) {
    const Node* node = NodeOf(object);
    if (node == nullptr || index < 0 || static_cast<std::size_t>(index) >= node->children.size()) {
        return nullptr;
    }
    return ATK_OBJECT(g_object_ref(node->children[static_cast<std::size_t>(index)]->object));
}

gint IndexInParent(AtkObject* object) {
    const Node* node = NodeOf(object);
    if (node == nullptr || node->parent == nullptr) {
        return -1;
    }
    const auto& siblings = node->parent->children;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i] == node) {
            return static_cast<gint>(i);
        }
    }
    return -1;
}

AtkStateSet* RefStateSet(AtkObject* object) {
    AtkStateSet* set = g_baseClass->ref_state_set(object);
    const Node* node = NodeOf(object);
    if (node == nullptr) {
        atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
        return set;
    }
    const NodeStates& s = node->states;
    const std::pair<bool, AtkStateType> states[] = {
        {s.enabled, ATK_STATE_ENABLED},     {s.enabled, ATK_STATE_SENSITIVE},
        {s.showing, ATK_STATE_VISIBLE},     {s.showing, ATK_STATE_SHOWING},
        {s.focusable, ATK_STATE_FOCUSABLE}, {s.focused, ATK_STATE_FOCUSED},
        {s.isDefault, ATK_STATE_DEFAULT},   {s.modal, ATK_STATE_MODAL},
        {s.active, ATK_STATE_ACTIVE},       {s.resizable, ATK_STATE_RESIZABLE},
    };
    for (const auto& [on, state] : states) {
        if (on) {
            atk_state_set_add_state(set, state);
        }
    }
    return set;
}

void ClassInit(gpointer klass, gpointer) {
    g_baseClass = ATK_OBJECT_CLASS(g_type_class_peek_parent(klass));
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_n_children = NChildren;
    atk->ref_child = RefChild;
    atk->get_index_in_parent = IndexInParent;
    atk->ref_state_set = RefStateSet;
}

// AtkComponent: where the object's window is, on the screen or in its
// top-level window.
void Extents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height,
             AtkCoordType coordinates) {
    *x = *y = *width = *height = -1;
    const Node* node = NodeOf(component);
    if (node == nullptr || node->window == 0) {
        return;
    }
    Window root = 0;
    int ignored = 0;
    unsigned w = 0;
    unsigned h = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (XGetGeometry(node->display, node->window, &root, &ignored, &ignored, &w, &h, &border,
                     &depth) == 0) {
        return;
    }
    Window relativeTo = root;
    if (coordinates != ATK_XY_SCREEN) {
        const Node* top = node;
        while (top->parent != nullptr && top->parent->window != 0) {
            top = top->parent;
        }
        relativeTo = top->window;
    }
    Window child = 0;
    int atX = 0;
    int atY = 0;
    XTranslateCoordinates(node->display, node->window, relativeTo, 0, 0, &atX, &atY, &child);
    *x = atX;
    *y = atY;
    *width = static_cast<gint>(w);
    *height = static_cast<gint>(h);
}

void ComponentInit(gpointer iface, gpointer) {
    static_cast<AtkComponentIface*>(iface)->get_extents = Extents;
}

// AtkAction: one action, "click".
gint NActions(AtkAction* action) {
    const Node* node = NodeOf(action);
    return node != nullptr && node->press ? 1 : 0;
}

gboolean DoAction(AtkAction* action, gint index) {
    const Node* node = NodeOf(action);
    if (node == nullptr || !node->press || index != 0) {
        return FALSE;
    }
    node->press();
    return TRUE;
}

const gchar* ActionName(AtkAction*, gint index) {
    return index == 0 ? "click" : nullptr;
}

void ActionInit(gpointer iface, gpointer) {
    auto* action = static_cast<AtkActionIface*>(iface);
    action->get_n_actions = NActions;
    action->do_action = DoAction;
    action->get_name = ActionName;
}

// AtkText: the label's text, read only.
gchar* Text(AtkText* text, gint start, gint end) {
    const Node* node = NodeOf(text);
    if (node == nullptr) {
        return g_strdup("");
    }
    const glong length = g_utf8_strlen(node->text.c_str(), -1);
    if (end < 0 || end > length) {
        end = static_cast<gint>(length);
    }
    if (start < 0 || start > end) {
        return g_strdup("");
    }
    return g_utf8_substring(node->text.c_str(), start, end);
}

gint CharacterCount(AtkText* text) {
    const Node* node = NodeOf(text);
    return node == nullptr ? 0 : static_cast<gint>(g_utf8_strlen(node->text.c_str(), -1));
}

gunichar CharacterAt(AtkText* text, gint offset) {
    const Node* node = NodeOf(text);
    if (node == nullptr || offset < 0 || offset >= CharacterCount(text)) {
        return 0;
    }
    return g_utf8_get_char(g_utf8_offset_to_pointer(node->text.c_str(), offset));
}

gint CaretOffset(AtkText*) {
    return -1; // a label has no caret
}

void TextInit(gpointer iface, gpointer) {
    auto* text = static_cast<AtkTextIface*>(iface);
    text->get_text = Text;
    text->get_character_count = CharacterCount;
    text->get_character_at_offset = CharacterAt;
    text->get_caret_offset = CaretOffset;
}

// AtkWindow has nothing to implement: its signals carry the window events.
void WindowInit(gpointer, gpointer) {}

GType RegisterType(const char* name, GType parent) {
    return g_type_register_static_simple(parent, g_intern_static_string(name),
                                         sizeof(KestroveAccessibleClass),
                                         parent == ATK_TYPE_OBJECT ? ClassInit : nullptr,
                                         sizeof(KestroveAccessible), nullptr, GTypeFlags{});
}

GType BaseType() {
    static const GType type = [] {
        const GType base = RegisterType("KestroveAccessible", ATK_TYPE_OBJECT);
        const GInterfaceInfo component{ComponentInit, nullptr, nullptr};
        g_type_add_interface_static(base, ATK_TYPE_COMPONENT, &component);
        return base;
    }();
    return type;
}

GType TypeWith(const char* name, GType iface, GInterfaceInitFunc init) {
    const GType type = RegisterType(name, BaseType());
    const GInterfaceInfo info{init, nullptr, nullptr};
    g_type_add_interface_static(type, iface, &info);
    return type;
}

GType TypeOf(NodeKind kind) {
    static const GType window = TypeWith("KestroveAccessibleWindow", ATK_TYPE_WINDOW, WindowInit);
    static const GType action = TypeWith("KestroveAccessibleAction", ATK_TYPE_ACTION, ActionInit);
    static const GType text = TypeWith("KestroveAccessibleText", ATK_TYPE_TEXT, TextInit);
    switch (kind) {
    case NodeKind::Window:
        return window;
    case NodeKind::Action:
        return action;
    case NodeKind::Text:
        return text;
    case NodeKind::Plain:
        break;
    }
    return BaseType();
}

} // namespace

AtkObject* NewAccessibleObject(NodeKind kind, Node& node) {
    auto* object = static_cast<KestroveAccessible*>(g_object_new(TypeOf(kind), nullptr));
    object->node = &node;
    atk_object_initialize(ATK_OBJECT(object), nullptr);
    return ATK_OBJECT(object);
}

void DetachAccessibleObject(AtkObject* object) {
    reinterpret_cast<KestroveAccessible*>(object)->node = nullptr;
    atk_object_notify_state_change(object, ATK_STATE_DEFUNCT, TRUE);
}

} // namespace kestrove::x11::a11y
