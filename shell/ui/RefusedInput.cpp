#include "shell/ui/RefusedInput.h"

#include <QLineEdit>
#include <QToolTip>

void explainRefusedInput(QLineEdit* edit, const QString& rule)
{
    QObject::connect(edit, &QLineEdit::inputRejected, edit, [edit, rule] {
        QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), rule, edit);
    });
}
