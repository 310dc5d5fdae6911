#include "support_gui/ModalGuard.h"

#include "platform/RunLoop.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

int& expected()
{
    static int count = 0;
    return count;
}

std::string describe(const QWidget* dialog)
{
    if (!dialog)
        return "(no window)";
    return QStringLiteral("%1 \"%2\" (%3)")
        .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->windowTitle(),
            dialog->objectName())
        .toStdString();
}

} // namespace

ExpectModalDialogs::ExpectModalDialogs()
{
    ++expected();
}

ExpectModalDialogs::~ExpectModalDialogs()
{
    --expected();
}

void installModalDialogGuard()
{
    platform::ModalSession::setStartHookForTesting([](platform::ModalSession& session) {
        if (session.isAnsweredByTest() || expected() > 0)
            return;
        ADD_FAILURE() << "a modal dialog the test did not expect: "
                      << describe(QApplication::activeModalWidget());
        // Ended once its run has started: the test goes on and fails
        // instead of waiting for an answer that never comes.
        QMetaObject::invokeMethod(
            qApp,
            [run = platform::WeakRef<platform::ModalSession>(&session)] {
                if (platform::ModalSession* s = run.get())
                    s->stop();
            },
            Qt::QueuedConnection);
    });
}

} // namespace testsupport
