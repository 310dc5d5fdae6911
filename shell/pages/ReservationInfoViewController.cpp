#include "shell/pages/ReservationInfoViewController.h"

#include "login/AccountManager.h"

#include <QPointer>
#include <algorithm>

namespace {

// The question before a greeting is sent.
const QString kConfirmChannel = QStringLiteral("confirm");

} // namespace

ReservationInfoViewController::ReservationInfoViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), { services.notificationCenter })
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
{
}

void ReservationInfoViewController::awakeFromNib()
{
    showCurrentGreeting();
    inputText_.clear();
    enabled_ = true;
}

void ReservationInfoViewController::showCurrentGreeting()
{
    const auto account = accountManager->getActiveLoginAccount();
    currentText_ = account ? account->promptInfo().value_or(QString()) : QString();
}

bool ReservationInfoViewController::checkReserveInput() const
{
    const QString forbidden = forbiddenCharacters();
    return std::none_of(inputText_.begin(), inputText_.end(), [&](QChar c) { return forbidden.contains(c); });
}

void ReservationInfoViewController::enableControls(bool flag)
{
    enabled_ = flag;
    emit changed();
}

void ReservationInfoViewController::resetButtonClicked()
{
    // 重填 while the question is open ends the step: its answer sends nothing.
    askedFor().settle(kConfirmChannel);
    inputText_.clear();
    emit changed();
}

void ReservationInfoViewController::submitButtonClicked()
{
    auto tip = [this](const QString& text) { alerts()->runAlert(AlertRequest::tip(text), nullptr); };
    if (inputText_.isEmpty())
        return tip(QStringLiteral("请输入新预留信息！"));
    if (inputText_.size() > kMaxLength)
        return tip(QStringLiteral("您输入的信息不能大于50个字！"));
    if (!checkReserveInput())
        return tip(QStringLiteral("您输入的字符包含了非法字符（：#%&+/\\=? .:）！"));
    // The greeting the user confirms is the one sent, whatever the field
    // holds by the time the question is answered; an account change or 重填
    // while it is open ends the step.
    const QString greeting = inputText_;
    const quint64 ask = askedFor().ask(kConfirmChannel, greeting);
    AlertRequest question = AlertRequest::tip(QStringLiteral("您确定要将预留信息修改为：%1？").arg(greeting));
    question.defaultButton = QStringLiteral("确定");
    question.alternateButton = QStringLiteral("取消");
    alerts()->runAlert(question, [self = QPointer(this), greeting, ask](int answer) {
        if (!self || !self->askedFor().takeAsk(kConfirmChannel, ask))
            return;
        if (answer == 1)
            self->send(greeting);
    });
}

void ReservationInfoViewController::send(const QString& greeting)
{
    const auto account = accountManager->getActiveLoginAccount();
    if (!account)
        return; // the page exists only after a login
    enableControls(false);
    // The reply is heard through a relay: it reaches this page while the
    // page still awaits it, and is told all the same once it does not. A
    // greeting taken shows on the page at once while the page shows its
    // account, also when it shows it again by the time the reply comes
    // (another account chosen, then this one).
    auto& relay = ActionOutcomeRelay::start<ReservationInfoRelay>(
        ActionOutcomeRelay::pageOf(*this), *this,
        [self = QPointer(this), sent = std::weak_ptr<Account>(account), greeting](const bool& done) {
            const QString text = replyText(sent, greeting, done);
            if (self && !self->isUnloaded() && done) {
                self->showCurrentGreeting();
                emit self->changed();
            }
            return text;
        },
        false, &failureText);
    QString handle;
    const QString problem = account->requestReservationInfo(&relay, greeting, &handle);
    relay.sent(handle);
    if (!problem.isEmpty()) {
        enableControls(true);
        alerts()->runAlert(AlertRequest::error(problem), nullptr);
    }
}

QString ReservationInfoViewController::replyText(
    const std::weak_ptr<Account>& account, const QString& greeting, bool done)
{
    if (!done)
        return QStringLiteral("预留信息修改未成功。");
    if (const auto taken = account.lock())
        taken->setPromptInfo(greeting);
    return takenText();
}

void ReservationInfoViewController::reservationInfo(DataModel*, const QString&, const bool& result)
{
    enableControls(true);
    // Not taken: the page is usable again and both fields stay as they were.
    if (!result)
        return;
    // The account took the greeting with the reply, and the page shows it.
    inputText_.clear();
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(takenText()));
    emit changed();
}

bool ReservationInfoViewController::reservationInfo(DataModel*, const QString&, const CSError& error)
{
    enableControls(true);
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(failureText(error)));
    return true;
}
