#include "view/terminal/widgets.h"

#include "runtime/core/fire.h"
#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/handle.h"
#include "runtime/memory/collector.h"
#include "view/terminal/face-fields.h"

namespace kel::gui {

namespace {

constexpr uint32_t INDEX_BITS = 20;
constexpr uint32_t INDEX_MASK = (1u << INDEX_BITS) - 1;
constexpr uint32_t GENERATION_MASK = (1u << (32 - INDEX_BITS)) - 1;

struct Slot {
    uint32_t generation = 0;
    std::unique_ptr<Widget> widget;  // null: the slot is free
};

struct Table {
    std::vector<Slot> slots;
    std::vector<uint32_t> free_slots;
    std::vector<WidgetId> dead;  // marked dead, released at the end of the frame
    int32_t live = 0;
    bool marker_added = false;
};

Table& table() {
    static Table t;
    return t;
}

uint32_t index_of(WidgetId id) { return (id & INDEX_MASK) - 1; }

void mark_widgets() {
    for (const Slot& s : table().slots) {
        const Widget* w = s.widget.get();
        if (!w || w->dead) continue;
        collector::mark_value(w->face);
        collector::mark_value(w->saved_data);
        if (w->ui_string) collector::mark_node(w->ui_string);
        if (w->text_source) collector::mark_node(w->text_source);
    }
}

void release_slot(uint32_t index) {
    Table& t = table();
    Slot& s = t.slots[index];
    if (!s.widget) return;
    if (!s.widget->dead) --t.live;
    s.widget.reset();
    s.generation = (s.generation + 1) & GENERATION_MASK;
    t.free_slots.push_back(index);
}

// The handle! a face's state block starts with, or null.
const Cell* state_handle(const Cell& face) {
    Cell* state = facet_slot(face, Facet::state);
    if (!state || type_of(*state) != TYPE_BLOCK || block::ks_length(*state) < 1) return nullptr;
    const Cell* first = block::ks_abs_at(*state, int32_t(state->data1));
    return type_of(*first) == TYPE_HANDLE ? first : nullptr;
}

struct FlagWord {
    const char* word;
    uint32_t bit;
};
constexpr FlagWord FACE_FLAGS[] = {
    {"all-over", FACE_ALL_OVER},     {"focusable", FACE_FOCUSABLE}, {"tri-state", 0x20000},
    {"scrollable", 0x40000},         {"password", FACE_PASSWORD},   {"no-sync", 0x100000},
    {"fullscreen", FACE_FULLSCREEN}, {"popup", 0x1000000},          {"modal", 0x2000000},
    {"resize", 0x4000000},           {"no-buttons", 0x8000000},     {"no-max", 0x10000000},
    {"no-min", 0x20000000},          {"no-title", 0x40000000},      {"no-border", 0x80000000},
};

uint32_t flag_of_word(const Cell& word) {
    int32_t symbol = word_symbol(word);
    for (const FlagWord& f : FACE_FLAGS)
        if (symbol == symbol_of(f.word)) return f.bit;
    fire(ErrorId::script_invalid_arg, {word});
}

}  // namespace

void no_ui(WidgetId) {}

int32_t no_event(WidgetId, int32_t, EventRecord&) { return 0; }

WidgetId make_widget() {
    Table& t = table();
    if (!t.marker_added) {
        collector::add_root_marker(mark_widgets);
        t.marker_added = true;
    }
    uint32_t index;
    if (!t.free_slots.empty()) {
        index = t.free_slots.back();
        t.free_slots.pop_back();
    } else {
        if (t.slots.size() >= INDEX_MASK) fire(ErrorId::internal_not_done);
        index = uint32_t(t.slots.size());
        t.slots.emplace_back();
    }
    auto w = std::make_unique<Widget>();
    w->ui_hook = no_ui;
    w->render = default_render;
    w->event = no_event;
    w->face = make_none();
    w->saved_data = make_none();
    t.slots[index].widget = std::move(w);
    ++t.live;
    return (t.slots[index].generation << INDEX_BITS) | (index + 1);
}

Widget* find_widget(WidgetId id) {
    if (id == 0) return nullptr;
    Table& t = table();
    uint32_t index = index_of(id);
    if (index >= t.slots.size()) return nullptr;
    Slot& s = t.slots[index];
    if (s.generation != id >> INDEX_BITS || !s.widget || s.widget->dead) return nullptr;
    return s.widget.get();
}

void mark_widget_dead(WidgetId id) {
    Widget* w = find_widget(id);
    if (!w) return;
    w->dead = true;
    --table().live;
    table().dead.push_back(id);
}

void release_dead_widgets() {
    Table& t = table();
    std::vector<WidgetId> dead;
    dead.swap(t.dead);
    for (WidgetId id : dead) release_slot(index_of(id));
}

void release_all_widgets() {
    Table& t = table();
    for (uint32_t i = 0; i < t.slots.size(); ++i) release_slot(i);
    t.dead.clear();
    t.live = 0;
    pointers() = WidgetPointers{};
}

int32_t live_widget_count() { return table().live; }

WidgetPointers& pointers() {
    static WidgetPointers p;
    return p;
}

WindowRecord* window_record(WidgetId window) {
    Widget* w = find_widget(window);
    return w ? w->kind_data.window.get() : nullptr;
}

WidgetId window_of(WidgetId widget) {
    for (int32_t guard = 0; guard < 1 << 20; ++guard) {
        Widget* w = find_widget(widget);
        if (!w) return 0;
        if (w->kind_data.window) return widget;
        widget = w->parent;
    }
    return 0;
}

bool is_within(WidgetId widget, WidgetId ancestor) {
    if (ancestor == 0) return false;
    for (int32_t guard = 0; guard < 1 << 20 && widget; ++guard) {
        if (widget == ancestor) return true;
        Widget* w = find_widget(widget);
        widget = w ? w->parent : 0;
    }
    return false;
}

uint32_t get_flags(const Cell& flags) {
    if (word_symbol(flags) && type_of(flags) == TYPE_WORD) return flag_of_word(flags);
    if (type_of(flags) != TYPE_BLOCK) return 0;
    uint32_t bits = 0;
    int32_t head = int32_t(flags.data1), n = block::ks_length(flags);
    for (int32_t i = 0; i < n; ++i) {
        Cell value = *block::ks_abs_at(flags, head + i);
        if (type_of(value) == TYPE_WORD) bits |= flag_of_word(value);
    }
    return bits;
}

WidgetId face_handle(const Cell& face) {
    const Cell* h = state_handle(face);
    if (!h) return 0;
    WidgetId id = WidgetId(handle::value_of(*h));
    return find_widget(id) ? id : 0;
}

WidgetId get_face_handle(const Cell& face) {
    const Cell* h = state_handle(face);
    return h ? WidgetId(handle::value_of(*h)) : 0;
}

Cell face_of(WidgetId widget) {
    Widget* w = find_widget(widget);
    return w ? w->face : make_none();
}

}  // namespace kel::gui
