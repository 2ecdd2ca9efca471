#include "charge/decimate.h"

#include <algorithm>
#include <cmath>

namespace torv::charge {

std::vector<Point> MinMaxPerColumn(const std::vector<Point>& points, double x0, double x1, int columns)
{
    if (columns < 1 || !(x1 > x0) || points.size() <= 2 * static_cast<std::size_t>(columns))
        return points;
    std::vector<Point> out;
    const double width = (x1 - x0) / columns;
    const auto columnOf = [&](double x) { return std::clamp(static_cast<int>(std::floor((x - x0) / width)), 0, columns - 1); };
    std::size_t i = 0;
    while (i < points.size()) {
        const int column = columnOf(points[i].first);
        std::size_t low = i, high = i;
        std::size_t j = i + 1;
        for (; j < points.size() && columnOf(points[j].first) == column; ++j) {
            if (points[j].second < points[low].second)
                low = j;
            if (points[j].second > points[high].second)
                high = j;
        }
        out.push_back(points[std::min(low, high)]);
        if (low != high)
            out.push_back(points[std::max(low, high)]);
        i = j;
    }
    return out;
}

} // namespace torv::charge
