// A fixed list of words (method names and the like), interned once and
// recognised by case-folded symbol: a symbol whose spelling equals one of the
// list ignoring ASCII case finds its position.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kel {

class SymbolSet {
public:
    static constexpr size_t MAX = 16;
    // The spellings must outlive the set (string literals); at most MAX.
    constexpr explicit SymbolSet(std::span<const char* const> spellings) : spellings_(spellings) {}

    // Interns the spellings in their order; later calls do nothing.
    void init();
    bool ready() const { return ids_[0] != 0; }
    // The symbol id of position i (after init).
    int32_t symbol(size_t i) const { return ids_[i]; }
    // The position whose word the symbol names, or -1 (also before init).
    int32_t find(int32_t symbol) const;
    // The same as a value of an enumeration listed in the set's order.
    template <class Enum>
    std::optional<Enum> find_as(int32_t symbol) const {
        int32_t i = find(symbol);
        if (i < 0) return std::nullopt;
        return Enum(i);
    }

private:
    std::span<const char* const> spellings_;
    std::array<int32_t, MAX> ids_{};
};

}  // namespace kel
