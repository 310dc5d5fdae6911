#include "shell/pages/ReservationInfoPageController.h"

#include "login/AccountManager.h"

#include <QPointer>
#include <algorithm>

ReservationInfoPageController::ReservationInfoPageController(Services services, QObject* parent)
    : QObject(parent)
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
{
    if (const auto account = accountManager->getActiveLoginAccount())
        currentText_ = account->promptInfo().value_or(QString());
}

bool ReservationInfoPageController::checkReserveInput() const
{
    const QString forbidden = forbiddenCharacters();
    return std::none_of(inputText_.begin(), inputText_.end(), [&](QChar c) { return forbidden.contains(c); });
}

void ReservationInfoPageController::enableControls(bool flag)
{
    enabled_ = flag;
    emit changed();
}

void ReservationInfoPageController::resetButtonClicked()
{
    inputText_.clear();
    emit changed();
}

void ReservationInfoPageController::submitButtonClicked()
{
    auto tip = [this](const QString& text) { alerts_->runAlert(AlertRequest::tip(text), nullptr); };
    if (inputText_.isEmpty())
        return tip(QStringLiteral("请输入新预留信息！"));
    if (inputText_.size() > kMaxLength)
        return tip(QStringLiteral("您输入的信息不能大于50个字！"));
    if (!checkReserveInput())
        return tip(QStringLiteral("您输入的字符包含了非法字符（：#%&+/\\=? .:）！"));
    // The greeting the user confirms is the one sent, whatever the field
    // holds by the time the question is answered.
    const QString greeting = inputText_;
    AlertRequest question = AlertRequest::tip(QStringLiteral("您确定要将预留信息修改为：%1？").arg(greeting));
    question.defaultButton = QStringLiteral("确定");
    question.alternateButton = QStringLiteral("取消");
    alerts_->runAlert(question, [self = QPointer(this), greeting](int answer) {
        if (self && answer == 1)
            self->send(greeting);
    });
}

void ReservationInfoPageController::send(const QString& greeting)
{
    const auto account = accountManager->getActiveLoginAccount();
    if (!account) {
        alerts_->runAlert(AlertRequest::error(QStringLiteral("请先登录")), nullptr);
        return;
    }
    enableControls(false);
    sentText_ = greeting;
    const QString problem = account->requestReservationInfo(this, greeting);
    if (!problem.isEmpty()) {
        enableControls(true);
        alerts_->runAlert(AlertRequest::error(problem), nullptr);
    }
}

void ReservationInfoPageController::reservationInfo(DataModel*, const QString&, const bool& result)
{
    enableControls(true);
    // The server did not take it: say so instead of leaving the user to
    // guess whether the greeting changed.
    if (!result) {
        alerts_->runAlert(AlertRequest::error(QStringLiteral("预留信息修改失败，请稍后重试。")), nullptr);
        return;
    }
    if (const auto account = accountManager->getActiveLoginAccount())
        account->setPromptInfo(sentText_);
    currentText_ = sentText_;
    inputText_.clear();
    alerts_->runAlert(AlertRequest::tip(QStringLiteral("修改已成功！")), nullptr);
    emit changed();
}

bool ReservationInfoPageController::reservationInfo(DataModel*, const QString&, const CSError& error)
{
    enableControls(true);
    alerts_->runAlert(AlertRequest::error(error.domain), nullptr);
    return true;
}
