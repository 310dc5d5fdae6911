#include "support_gui/ModalGuard.h"

#include <QApplication>
#include <QWidget>

namespace testsupport {

std::string describeModalWidget()
{
    const QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog)
        return "(no window)";
    return QStringLiteral("%1 \"%2\" (%3)")
        .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->windowTitle(), dialog->objectName())
        .toStdString();
}

} // namespace testsupport
