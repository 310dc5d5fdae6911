#include "shell/pages/ChangePasswordViewController.h"

#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "shell/windows/PasswordFormatter.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

// One password change of an account, from its request to its answer: the
// trade password, or the fund password of one capital account. While it
// waits no second change of that password goes out: a second press (a double
// click, Space twice) would join the first request and have a relay of its
// own tell the same answer again, and a second trade-password change would
// put the wrong pending password into the prefix. Its answers come through
// the change's relay, whatever became of the page, so the account takes a
// new trade password on every success.
class PasswordChange {
public:
    // `fundId`: the capital account whose fund password changes; none for
    // the trade password.
    PasswordChange(std::weak_ptr<Account> account, std::optional<QString> fundId)
        : account_(std::move(account))
        , fundId_(std::move(fundId))
    {
    }
    // A change from now on; the changes ended are let go.
    static std::shared_ptr<PasswordChange> start(
        const std::shared_ptr<Account>& account, const std::optional<QString>& fundId)
    {
        std::erase_if(pending(), [](const auto& c) { return !c->waits(); });
        return pending().emplace_back(std::make_shared<PasswordChange>(account, fundId));
    }
    // Whether a change of that password of `account` still waits for its answer.
    static bool pendingFor(const Account* account, const std::optional<QString>& fundId)
    {
        return std::any_of(pending().begin(), pending().end(), [&](const auto& c) {
            return c->waits() && c->fundId_ == fundId && c->account_.lock().get() == account;
        });
    }
    // A success: a new trade password goes into the account's prefix (once:
    // the pending password is then gone). Answers what the success tells.
    QString succeeded()
    {
        end();
        if (fundId_)
            return Account::getChangeFundPasswordSuccessMessage();
        if (auto account = account_.lock())
            account->upateTradePassword();
        return Account::getChangeTradePasswordSuccessMessage();
    }
    // A failure, or a request that never went out.
    QString failed(const CSError& error)
    {
        end();
        return ChangePasswordViewController::failureText(error);
    }
    void end() { ended_ = true; }

private:
    // A request that lost its observers (a reconnect drops them) never
    // answers: past its time-out the change no longer holds the account.
    bool waits() const { return !ended_ && !deadline_.hasExpired(); }
    static std::vector<std::shared_ptr<PasswordChange>>& pending()
    {
        static std::vector<std::shared_ptr<PasswordChange>> changes;
        return changes;
    }

    std::weak_ptr<Account> account_;
    std::optional<QString> fundId_;
    QDeadlineTimer deadline_ { std::chrono::seconds(Account::kTimeout + 5) };
    bool ended_ = false;
};

} // namespace

ChangePasswordViewController::ChangePasswordViewController(BaseNode::Ptr node, Services services)
    : MenuItemViewController(std::move(node), { services.notificationCenter })
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , userDefaultConfig(
          services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , formatter_(new PasswordFormatter(this))
{
}

ChangePasswordViewController::~ChangePasswordViewController()
{
    resetPasswordText();
}

void ChangePasswordViewController::awakeFromNib()
{
    segment_ = kTradePassword;
    fundInfoArray.reset();
    fundItems_.clear();
    selectedFund_ = -1;
    resetPasswordText();
    initFundList();
    showFundOption(false);
    observePage(UserDefaultConfig::kAccountProtectOptionChanged,
        [this](const platform::Notification&) { updateForAccountProtecteOptionChange(); });
}

QValidator* ChangePasswordViewController::passwordFormatter() const
{
    return formatter_;
}

void ChangePasswordViewController::setPasswordText(Field field, const QString& text)
{
    QString& slot = texts_[size_t(field)];
    wipeText(slot);
    slot = text;
}

bool ChangePasswordViewController::isChangingTradePassword() const
{
    const auto account = accountManager->getActiveLoginAccount();
    return account && PasswordChange::pendingFor(account.get(), std::nullopt);
}

QString ChangePasswordViewController::failureText(const CSError& error)
{
    return error.domain;
}

void ChangePasswordViewController::resetPasswordText()
{
    for (QString& text : texts_)
        wipeText(text);
    emit changed();
}

void ChangePasswordViewController::initFundList()
{
    const auto account = accountManager->getActiveLoginAccount();
    if (!account)
        return;
    const std::vector<RDOFund> list = account->getFundInfoList(std::nullopt);
    if (!list.empty()) {
        fundInfoArray = list;
        showFundList(list);
    } else {
        account->requestFundInfo(this);
    }
}

void ChangePasswordViewController::showFundList(const std::vector<RDOFund>& list)
{
    if (list.empty())
        return;
    fundItems_.clear();
    for (const RDOFund& fund : list)
        fundItems_ << userDefaultConfig->getProtectedString(fund.fundId);
    selectedFund_ = 0;
    emit changed();
}

void ChangePasswordViewController::updateForAccountProtecteOptionChange()
{
    const auto account = accountManager->getActiveLoginAccount();
    if (!fundInfoArray && account)
        fundInfoArray = account->getFundInfoList(std::nullopt);
    const int selected = selectedFund_;
    fundItems_.clear();
    for (const RDOFund& fund : fundInfoArray.value_or(std::vector<RDOFund>()))
        fundItems_ << userDefaultConfig->getProtectedString(fund.fundId);
    selectedFund_ = selected < fundItems_.size() ? selected : (fundItems_.isEmpty() ? -1 : 0);
    emit changed();
}

void ChangePasswordViewController::showFundOption(bool show)
{
    if (fundOptionShown_ == show)
        return;
    fundOptionShown_ = show;
    emit changed();
}

void ChangePasswordViewController::fundAccountChanged(int index)
{
    selectedFund_ = index >= 0 && index < fundItems_.size() ? index : -1;
    resetPasswordText();
}

void ChangePasswordViewController::passwordTypeSelected(int segment)
{
    segment_ = segment == kFundPassword ? kFundPassword : kTradePassword;
    resetPasswordText();
    showFundOption(segment_ == kFundPassword);
}

ChangePasswordViewController::Field ChangePasswordViewController::passordEditEnd(Field field) const
{
    // Every password field is always visible, so the next one is the next in order.
    return Field((int(field) + 1) % 3);
}

void ChangePasswordViewController::error(const QString& text)
{
    alerts()->runAlert(AlertRequest::error(text), nullptr);
}

void ChangePasswordViewController::confirmChangeButtonClicked()
{
    const QString& oldPassword = passwordText(Field::Current);
    const QString& newPassword = passwordText(Field::Fresh);
    const QString& confirm = passwordText(Field::Confirm);
    if (oldPassword.isEmpty())
        return error(QStringLiteral("请输入旧密码！"));
    if (newPassword.isEmpty())
        return error(QStringLiteral("请输入新密码！"));
    if (newPassword != confirm)
        return error(QStringLiteral("两次密码输入不相符，请重新输入！"));
    // The page exists only after a login; the server judges the new password.
    const auto account = accountManager->getActiveLoginAccount();
    if (!account)
        return;

    std::optional<QString> fundId;
    if (segment_ == kFundPassword) {
        // No capital account chosen, or none listed: nothing to change.
        const std::vector<RDOFund> list = account->getFundInfoList(std::nullopt);
        if (selectedFund_ < 0 || size_t(selectedFund_) >= list.size())
            return;
        fundId = list[size_t(selectedFund_)].fundId;
    }
    if (PasswordChange::pendingFor(account.get(), fundId))
        return error(fundId ? QStringLiteral("正在修改资金密码，请等待结果。")
                            : QStringLiteral("正在修改交易密码，请等待结果。"));

    // The answer is heard through the change's one relay: it reaches this
    // page while the page still shows the account it was asked for, and is
    // told all the same once the page is left or the account changes.
    const std::shared_ptr<PasswordChange> change = PasswordChange::start(account, fundId);
    const auto succeeded = [change](const bool&) { return change->succeeded(); };
    const auto failed = [change](const CSError& e) { return change->failed(e); };
    const ActionOutcomeRelay::Listener page = ActionOutcomeRelay::pageOf(*this);
    QString problem;
    QString handle;
    if (!fundId) {
        auto& relay = ActionOutcomeRelay::start<TradePasswordRelay>(page, *this, succeeded, false, failed);
        problem = account->requestChangeTradePassword(&relay, oldPassword, confirm, &handle);
        relay.sent(handle);
    } else {
        auto& relay = ActionOutcomeRelay::start<FundPasswordRelay>(page, *this, succeeded, false, failed);
        problem = account->requestChangeFundPassword(&relay, oldPassword, confirm, fundId, &handle);
        relay.sent(handle);
    }
    if (handle.isEmpty())
        change->end();
    if (!problem.isEmpty())
        error(problem);
}

void ChangePasswordViewController::queryFundInfo(DataModel*, const QString&, const std::vector<RDOFund>& list)
{
    const auto account = accountManager->getActiveLoginAccount();
    if (!account)
        return;
    fundInfoArray = account->getFundInfoList(list);
    showFundList(*fundInfoArray);
}

void ChangePasswordViewController::changeTradePassword(DataModel*, const QString&, const bool&)
{
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(Account::getChangeTradePasswordSuccessMessage()));
    resetPasswordText();
}

bool ChangePasswordViewController::changeTradePassword(DataModel*, const QString&, const CSError& e)
{
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(failureText(e)));
    return true;
}

void ChangePasswordViewController::changeFundPassword(DataModel*, const QString&, const bool&)
{
    ActionOutcomeRelay::tell(alerts(), AlertRequest::tip(Account::getChangeFundPasswordSuccessMessage()));
    resetPasswordText();
}

bool ChangePasswordViewController::changeFundPassword(DataModel*, const QString&, const CSError& e)
{
    ActionOutcomeRelay::tell(alerts(), AlertRequest::error(failureText(e)));
    return true;
}
