#pragma once

#include <QString>

class QLineEdit;

// Says `rule` beside `edit` whenever its validator refuses a keystroke or a
// paste, so that nothing typed is dropped without a word.
void explainRefusedInput(QLineEdit* edit, const QString& rule);
