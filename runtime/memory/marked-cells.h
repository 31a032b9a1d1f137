// A range of cells in heap memory that never moves and that every collection
// marks while the owning object lives: scratch space for code that must hand
// out stable cell addresses while Kel code runs (a sort whose comparator is a
// Kel function keeps its records and its merge work buffer in two of them).
//
// The cells start zeroed (type 0, which marks nothing). Objects are strictly
// nested (RAII), like root guards; the memory is a heap block, released when
// the object goes, an error unwinding through it included.
#pragma once
#include <cstddef>

#include "runtime/core/cell.h"

namespace kel {

class MarkedCells {
public:
    explicit MarkedCells(size_t count);
    ~MarkedCells();
    MarkedCells(const MarkedCells&) = delete;
    MarkedCells& operator=(const MarkedCells&) = delete;

    Cell* data() { return cells_; }
    size_t size() const { return count_; }

    // Marks the cells of every live range (the collector's root marker).
    static void mark_all();

private:
    Cell* cells_;
    size_t count_;
    MarkedCells* next_;
    static inline MarkedCells* head_ = nullptr;
};

}  // namespace kel
