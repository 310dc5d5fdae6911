#include "shell/tables/TableWidths.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tablewidths {

std::vector<int> commonColumnWidths(const std::vector<int>& fitted, double boundsWidth)
{
    const auto n = static_cast<int>(fitted.size());
    std::vector<int> widths;
    widths.reserve(fitted.size());
    const double share = n > 0 ? (boundsWidth - kCommonReserve) / n - 1.0 : 0.0;
    for (int i = 0; i < n; ++i) {
        const int titleWidth = fitted[size_t(i)];
        int w = titleWidth;
        if (share > w)
            w = static_cast<int>(std::trunc(share));
        if (i == n - 1) {
            const double others = std::accumulate(widths.begin(), widths.end(), 0.0);
            const double rest = boundsWidth - double(w) * (n - 1);
            // With many narrow columns the leftover arithmetic can fall below
            // the title or even below zero; a column never gets narrower
            // than its title.
            if (rest > w && boundsWidth - others > w)
                w = std::max(titleWidth, static_cast<int>(rest - 3.0 * n));
        }
        widths.push_back(w);
    }
    return widths;
}

std::vector<int> checkColumnWidths(int checkWidth, const std::vector<int>& fitted, double frameWidth)
{
    const auto n = static_cast<int>(fitted.size());
    const auto clampWidth = [checkWidth](double w) {
        return std::clamp(
            static_cast<int>(std::trunc(w)), std::min(checkWidth, kCheckMaxWidth), kCheckMaxWidth);
    };
    std::vector<int> widths;
    widths.reserve(fitted.size());
    const double share = n > 0 ? (frameWidth - checkWidth) / n - 1.0 : 0.0;
    for (int i = 0; i < n; ++i) {
        const int w = clampWidth(fitted[size_t(i)]);
        int width = w;
        if (share > w)
            width = clampWidth(share);
        if (i == n - 1) {
            // The check-box column counts twice here, as it always has.
            const double inView = checkWidth + std::accumulate(widths.begin(), widths.end(), 0.0);
            const double rest = frameWidth - (checkWidth + inView);
            if (rest > w)
                width = clampWidth(rest);
        }
        widths.push_back(width);
    }
    return widths;
}

} // namespace tablewidths
