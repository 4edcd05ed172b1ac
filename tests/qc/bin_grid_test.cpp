#include "qc/bin_grid.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>

namespace kapolex {
namespace {

// A grid whose every cell holds its own (bin, satellite) number.
BinGrid<std::size_t> numbered(std::size_t rows) {
  BinGrid<std::size_t> grid(rows);
  for (std::size_t bin = 0; bin < rows; ++bin) {
    for (std::size_t satellite = 0; satellite < prnCount; ++satellite) {
      grid.at(bin, satellite) = 1000 * bin + satellite + 1;
    }
  }
  return grid;
}

TEST(BinGrid, EveryBinAndSatelliteHasACellOfItsOwnInItsRow) {
  const BinGrid<std::size_t> grid = numbered(5);
  ASSERT_EQ(grid.rows(), 5U);
  std::set<const std::size_t*> cells;
  for (std::size_t bin = 0; bin < grid.rows(); ++bin) {
    const BinGrid<std::size_t>::ConstRow row = grid.row(bin);
    for (std::size_t satellite = 0; satellite < prnCount; ++satellite) {
      EXPECT_EQ(row[satellite], 1000 * bin + satellite + 1);
      EXPECT_EQ(&row[satellite], &grid.at(bin, satellite));
      cells.insert(&grid.at(bin, satellite));
    }
  }
  // One block, without room between the rows.
  EXPECT_EQ(cells.size(), 5 * prnCount);
  EXPECT_EQ(static_cast<std::size_t>(*cells.rbegin() - *cells.begin()), 5 * prnCount - 1);
  EXPECT_EQ(BinGrid<int>(0).rows(), 0U);
}

TEST(BinGrid, RowsAreCopiedKeptAndClearedWhole) {
  using Grid = BinGrid<std::size_t>;
  struct Case {
    const char* name;
    void (*change)(Grid&);
    std::size_t rows;                   // left
    std::size_t emptyFrom, emptyUntil;  // the rows emptied
  };
  const Case cases[] = {
      {"head", [](Grid& grid) { grid = grid.head(3); }, 3, 0, 0},
      {"shrink", [](Grid& grid) { grid.shrink(2); }, 2, 0, 0},
      {"clear", [](Grid& grid) { grid.clear(1, 4); }, 5, 1, 4},
  };
  for (const Case& c : cases) {
    Grid grid = numbered(5);
    c.change(grid);
    ASSERT_EQ(grid.rows(), c.rows) << c.name;
    for (std::size_t bin = 0; bin < grid.rows(); ++bin) {
      for (std::size_t satellite = 0; satellite < prnCount; ++satellite) {
        const bool kept = bin < c.emptyFrom || bin >= c.emptyUntil;
        EXPECT_EQ(grid.at(bin, satellite), kept ? 1000 * bin + satellite + 1 : 0)
            << c.name << " " << bin << " " << satellite;
      }
    }
  }
}

}  // namespace
}  // namespace kapolex
