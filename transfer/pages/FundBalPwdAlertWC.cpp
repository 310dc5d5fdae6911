#include "transfer/pages/FundBalPwdAlertWC.h"

#include "platform/RunLoop.h"

#include <QEventLoop>
#include <QPointer>

namespace {

FundBalPwdAlertWC::ViewFactory& viewFactory()
{
    static FundBalPwdAlertWC::ViewFactory factory;
    return factory;
}

std::function<void(FundBalPwdAlertWC&)>& shownHook()
{
    static std::function<void(FundBalPwdAlertWC&)> hook;
    return hook;
}

void wipe(QString& text)
{
    text.fill(QChar(u'\0'));
    text.clear();
}

} // namespace

FundBalPwdAlertResult::~FundBalPwdAlertResult()
{
    wipe(fundPwd);
    wipe(bankPwd);
}

FundBalPwdAlertWC::FundBalPwdAlertWC() = default;

FundBalPwdAlertWC::~FundBalPwdAlertWC()
{
    wipe(fundPwd_);
    wipe(bankPwd_);
    if (loop_)
        loop_->exit(0);
}

void FundBalPwdAlertWC::setViewFactory(ViewFactory factory)
{
    viewFactory() = std::move(factory);
}

void FundBalPwdAlertWC::setShownHookForTesting(std::function<void(FundBalPwdAlertWC&)> hook)
{
    shownHook() = std::move(hook);
}

void FundBalPwdAlertWC::setFundPwdText(const QString& text)
{
    wipe(fundPwd_);
    if (needFund_)
        fundPwd_ = text;
}

void FundBalPwdAlertWC::setBankPwdText(const QString& text)
{
    wipe(bankPwd_);
    if (needBank_)
        bankPwd_ = text;
}

FundBalPwdAlertResult FundBalPwdAlertWC::runModal(QObject* parentWindow, bool needFundPwd, bool needBankPwd)
{
    FundBalPwdAlertResult answer;
    if (shown_)
        return answer;
    needFund_ = needFundPwd;
    needBank_ = needBankPwd;
    code_ = 0;
    shown_ = true;
    if (!view_ && viewFactory())
        view_ = viewFactory()(*this, parentWindow);
    emit changed();
    QPointer<FundBalPwdAlertWC> alive(this);
    if (view_)
        view_->showModal();
    if (!view_ && !shownHook()) {
        shown_ = false; // nobody to ask
        return answer;
    }
    {
        // Ended from outside (a screen lock) as if cancelled.
        platform::ModalSession session(
            platform::RunLoop::current(),
            [alive] {
                if (alive)
                    alive->end(0);
            },
            bool(shownHook()));
        QEventLoop loop;
        loop_ = &loop;
        if (shownHook())
            shownHook()(*this);
        if (alive && shown_)
            loop.exec(QEventLoop::DialogExec);
        if (alive)
            loop_ = nullptr;
    }
    if (!alive)
        return answer;
    answer.result = QString::number(code_);
    if (code_ == 1) {
        answer.fundPwd = fundPwd_;
        answer.bankPwd = bankPwd_;
    }
    wipe(fundPwd_);
    wipe(bankPwd_);
    return answer;
}

void FundBalPwdAlertWC::end(int code)
{
    if (!shown_)
        return;
    shown_ = false;
    code_ = code;
    if (view_)
        view_->closeWindow();
    if (loop_)
        loop_->exit(code);
    emit changed();
}
