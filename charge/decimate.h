#pragma once
#include <utility>
#include <vector>

namespace torv::charge {

// A curve cut down to what a page can show: the points in x order, split
// into `columns` equal columns from `x0` to `x1`, each column keeping its
// lowest and its highest point (in their order), so every peak and dip a
// pixel could show stays drawn. A column with one point keeps it.
using Point = std::pair<double, double>; // x, y
std::vector<Point> MinMaxPerColumn(const std::vector<Point>& points, double x0, double x1, int columns);

} // namespace torv::charge
