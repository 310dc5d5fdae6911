#pragma once

#include <vector>

// Column-width arithmetic of the shared tables: how the columns share the
// view's width when a table is built, and how far content widens them.
namespace tablewidths {

// Widest a column of the check-box table may become.
constexpr int kCheckMaxWidth = 300;
// Room around a cell's text.
constexpr int kTextPadding = 6;
// What the common table keeps free of columns.
constexpr double kCommonReserve = 30.0;

// Common table: each column takes an equal share of (bounds - 30) when that
// is wider than its title; the last one takes what the others leave (less
// 3 points a column) when that is wider still. `fitted` are the widths that
// fit the titles.
std::vector<int> commonColumnWidths(const std::vector<int>& fitted, double boundsWidth);

// Check-box table: the data columns (the check-box column of width
// `checkWidth` stands before them); each lies between checkWidth and 300.
std::vector<int> checkColumnWidths(int checkWidth, const std::vector<int>& fitted, double frameWidth);

// The width a text `measured` pixels wide needs in a cell.
constexpr int contentWidth(int measured)
{
    return measured + kTextPadding;
}

} // namespace tablewidths
