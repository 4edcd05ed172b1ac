// The tracking plot's time bins by satellites, as one block of cells held
// bin by bin. It alone knows where the cell of a bin and a satellite lies,
// so that the check can count every record into a bin's row through a plain
// pointer while merging, summing and drawing go by bin and satellite.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "common/measurement.hpp"

namespace kapolex {

template <class Cell>
class BinGrid {
 public:
  static constexpr std::size_t columns = prnCount;
  // The cells of one bin, indexed by PRN - 1.
  using Row = std::span<Cell, columns>;
  using ConstRow = std::span<const Cell, columns>;

  BinGrid() = default;
  // A grid of `rows` bins whose cells are all empty.
  explicit BinGrid(std::size_t rows) : cells_(rows * columns) {}

  std::size_t rows() const { return cells_.size() / columns; }

  // The cell of a bin and a satellite (PRN - 1).
  Cell& at(std::size_t bin, std::size_t satellite) { return cells_[index(bin, satellite)]; }
  const Cell& at(std::size_t bin, std::size_t satellite) const {
    return cells_[index(bin, satellite)];
  }

  Row row(std::size_t bin) { return Row(cells_.data() + index(bin, 0), columns); }
  ConstRow row(std::size_t bin) const { return ConstRow(cells_.data() + index(bin, 0), columns); }

  // A copy of the first `count` rows.
  BinGrid head(std::size_t count) const {
    BinGrid copy;
    copy.cells_.assign(cells_.begin(),
                       cells_.begin() + static_cast<std::ptrdiff_t>(index(count, 0)));
    return copy;
  }

  // Keeps the first `count` rows.
  void shrink(std::size_t count) { cells_.resize(index(count, 0)); }

  // Empties the cells of rows [first, end).
  void clear(std::size_t first, std::size_t end) {
    std::fill(cells_.begin() + static_cast<std::ptrdiff_t>(index(first, 0)),
              cells_.begin() + static_cast<std::ptrdiff_t>(index(end, 0)), Cell{});
  }

 private:
  static std::size_t index(std::size_t bin, std::size_t satellite) {
    return bin * columns + satellite;
  }

  std::vector<Cell> cells_;
};

}  // namespace kapolex
