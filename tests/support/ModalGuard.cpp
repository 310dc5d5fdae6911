#include "support/ModalGuard.h"

#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace testsupport {

namespace {

int& expected()
{
    static int count = 0;
    return count;
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

void installModalDialogGuard(std::function<std::string()> describe)
{
    platform::ModalSession::setStartHookForTesting([describe = std::move(describe)](platform::ModalSession& session) {
        if (session.isAnsweredByTest() || expected() > 0)
            return;
        ADD_FAILURE() << "a modal dialog the test did not expect: " << (describe ? describe() : "a modal run");
        // Ended once its run has started: the test goes on and fails
        // instead of waiting for an answer that never comes.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [run = platform::WeakRef<platform::ModalSession>(&session)] {
                if (platform::ModalSession* s = run.get())
                    s->stop();
            },
            Qt::QueuedConnection);
    });
}

} // namespace testsupport
