#pragma once

class QTableView;

// Sizes every column to its title and its widest text and makes the table
// ask for the width that takes, so no text is cut; the last column takes
// what is left over. Call again after the rows change.
void fitColumnsToContents(QTableView* table);
