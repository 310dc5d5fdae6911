#pragma once

// The confirmation dialog's runs of a page whose first confirmed intent is
// answered only after the lock, for the tests of every page that confirms
// through it.
#include "core/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "shell/windows/SessionNotifications.h"
#include "support/Spin.h"
#include "tools/broker-sim/BrokerSimulator.h"
#include "trading/confirm/OrderAlertWindowController.h"

#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace testsupport {

// The answer of the next request of `function` is withheld. The first run
// is confirmed and the screen locks before that answer; the second (after
// the unlock) is cancelled and closes at once; in the third the first
// answer comes: `firstAnswered` holds, the dialog is still open, `whileOpen`
// looks at the page, and the confirm sends. Every run starts idle.
class AnswerAfterTheLock {
public:
    AnswerAfterTheLock(brokersim::BrokerSimulator& sim, brokersim::Function function,
        std::function<bool()> firstAnswered, std::function<void()> whileOpen = {})
        : sim_(sim)
        , firstAnswered_(std::move(firstAnswered))
        , whileOpen_(std::move(whileOpen))
    {
        sim_.withholdNext(function);
        OrderAlertWindowController::setShownHookForTesting([this](OrderAlertWindowController& d) {
            QTimer::singleShot(0, &d, [this, &d] { run(d); });
        });
    }
    ~AnswerAfterTheLock() { OrderAlertWindowController::setShownHookForTesting({}); }
    AnswerAfterTheLock(const AnswerAfterTheLock&) = delete;
    AnswerAfterTheLock& operator=(const AnswerAfterTheLock&) = delete;

    // `opens` opens the next run; answers whether it came and ended.
    bool press(const std::function<void()>& opens)
    {
        const int before = runs_;
        opens();
        return spinUntil([&] { return runs_ == before + 1 && !dialog_->isShown(); });
    }
    int runs() const { return runs_; }

private:
    void run(OrderAlertWindowController& d)
    {
        dialog_ = &d;
        EXPECT_FALSE(d.isBusy());
        switch (runs_++) {
        case 0:
            d.confirmButtonClicked();
            EXPECT_TRUE(spinUntil([&] { return sim_.withheldCount() == 1; }));
            platform::ModalSession::stopAll();
            NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
            break;
        case 1:
            d.cancelButtonClicked();
            EXPECT_FALSE(d.isShown());
            break;
        default:
            sim_.releaseWithheld();
            EXPECT_TRUE(spinUntil(firstAnswered_));
            EXPECT_TRUE(d.isShown());
            if (whileOpen_)
                whileOpen_();
            d.confirmButtonClicked();
            break;
        }
    }

    brokersim::BrokerSimulator& sim_;
    std::function<bool()> firstAnswered_;
    std::function<void()> whileOpen_;
    OrderAlertWindowController* dialog_ = nullptr;
    int runs_ = 0;
};

} // namespace testsupport
