// Random puts (as path sets and through put, with and without /case),
// removes, extends and selects on a map of integer and string keys, checked
// after every step against a model of the map's rules: keys found without
// regard to case unless /case, removal by the exact key, a removed pair
// found again (so a lookup without /case that meets it gives none) and
// revived in place.
#include <cctype>
#include <map>
#include <random>
#include <set>

#include "runtime/datatypes/map-internal.h"
#include "tests/maps/maps-fixture.h"

namespace kel::test {
namespace {

struct Key {
    bool text = false;
    std::string s;  // the exact spelling of a text key
    int32_t n = 0;
    bool operator<(const Key& o) const {
        if (text != o.text) return text < o.text;
        return text ? s < o.s : n < o.n;
    }
    std::string folded() const {
        std::string f = s;
        for (char& c : f) c = char(std::tolower(uint8_t(c)));
        return f;
    }
};

struct Entry {
    int32_t value = 0;
    bool live = false;
};

struct Model {
    std::map<Key, Entry> entries;  // every key ever entered
    std::map<std::string, std::set<Key>> variants;  // text keys by folded spelling
    int32_t live() const {
        int32_t n = 0;
        for (const auto& e : entries) n += e.second.live;
        return n;
    }
    // The key a lookup without /case finds; null when that is ambiguous.
    const Key* unique_match(const Key& k) const {
        if (!k.text) return entries.count(k) ? &entries.find(k)->first : &k;
        auto v = variants.find(k.folded());
        if (v == variants.end()) return &k;
        return v->second.size() == 1 ? &*v->second.begin() : nullptr;
    }
    void set(const Key& k, int32_t value, bool case_sensitive) {
        Key target = k;
        if (!case_sensitive) target = *unique_match(k);
        Entry& e = entries[target];
        e.value = value;
        e.live = true;
        if (target.text) variants[target.folded()].insert(target);
    }
};

struct MapDifferential : Collections {};

TEST_F(MapDifferential, RandomOperationsAgreeWithTheModel) {
    std::mt19937 rng(7177);
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
    auto random_key = [&] {
        Key k;
        if (pick(2)) {
            k.n = pick(40) - 5;
            return k;
        }
        k.text = true;
        const char* stems[] = {"ab", "key", "x", "mixed"};
        k.s = stems[pick(4)];
        for (char& c : k.s)
            if (pick(3) == 0) c = char(std::toupper(uint8_t(c)));
        k.s += std::to_string(pick(6));
        return k;
    };
    auto cell_of = [](const Key& k) {
        if (!k.text) return *stack::push(make_integer(k.n));
        return *string::import(reinterpret_cast<const uint8_t*>(k.s.data()), int32_t(k.s.size()), 0);
    };
    Cell* m = map::push_new(nullptr, 2);
    Model model;
    Cell* top = stack::state.top;
    int steps = int(scaled(3000, 250));
    for (int step = 0; step < steps; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        Key k = random_key();
        bool case_sensitive = pick(2) != 0;
        if (k.text && !model.unique_match(k)) case_sensitive = true;  // the model cannot tell which
        int op = pick(10);
        if (op < 4) {
            Cell key = cell_of(k);
            Cell* key_cell = stack::push(key);
            Cell* value = stack::push(make_integer(step));
            Cell* out = stack::push(make_none());
            if (op < 2) {
                PathStep path;
                path.case_sensitive = case_sensitive;
                map::eval_path(out, m, key_cell, value, path);
            } else {
                actions::put(out, m, key_cell, value, case_sensitive);
            }
            model.set(k, step, case_sensitive);
        } else if (op < 6) {
            Cell* key = stack::push(cell_of(k));
            Cell* out = stack::push(make_none());
            actions::remove(out, m, nullptr, key);
            auto e = model.entries.find(k);
            if (e != model.entries.end()) e->second.live = false;
        } else if (op < 8) {
            // extend with two pairs; the second key may repeat the first
            Key k2 = pick(3) == 0 ? k : random_key();
            Cell* blk = block::push_only(4);
            block::append_cell(*blk, cell_of(k));
            block::append_cell(*blk, make_integer(step));
            block::append_cell(*blk, cell_of(k2));
            block::append_cell(*blk, make_integer(-step));
            bool cs = case_sensitive || (k2.text && !model.unique_match(k2));
            if (!cs) {
                // The first pair may create a variant that makes the second ambiguous.
                Model trial = model;
                trial.set(k, step, false);
                if (k2.text && !trial.unique_match(k2)) cs = true;
            }
            map::extend(*m, *blk, cs);
            model.set(k, step, cs);
            model.set(k2, -step, cs);
        } else {
            FindOptions o;
            o.case_sensitive = case_sensitive;
            Cell* key = stack::push(cell_of(k));
            Cell* out = stack::push(make_none());
            actions::select(out, m, key, o);
            const Key* found = case_sensitive ? &k : model.unique_match(k);
            auto e = model.entries.find(*found);
            if (e == model.entries.end() || !e->second.live)
                EXPECT_EQ(type_of(*out), TYPE_NONE);
            else
                EXPECT_EQ(cell_integer(*out), e->second.value);
        }
        stack::state.top = top;
        ASSERT_EQ(actions::length(m), model.live());
        // Every key, exactly and (where the model can tell) without case.
        for (const auto& [key, entry] : model.entries) {
            Cell* c = stack::push(cell_of(key));
            const Cell* v = map::lookup(*m, *c, COMP_STRICT_EQUAL);
            if (entry.live) {
                ASSERT_NE(v, nullptr) << key.s << key.n;
                EXPECT_EQ(cell_integer(*v), entry.value);
            } else {
                EXPECT_EQ(v, nullptr) << key.s << key.n;
            }
            stack::state.top = top;
        }
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace kel::test
