#include "shell/pages/ChangePasswordViewController.h"

#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "shell/windows/PasswordFormatter.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

// One trade-password change, from the request to its reply. It outlives the
// page that started it: on success the account takes the new password into
// its prefix whether or not the page is still there to hear of it.
class TradePasswordChange final : public IChangeTradePasswordDelegate {
public:
    TradePasswordChange(std::weak_ptr<Account> account, ChangePasswordViewController* page, quint64 ask)
        : account_(std::move(account))
        , page_(page)
        , ask_(ask)
    {
    }
    void changeTradePassword(DataModel*, const QString&, const bool&) override
    {
        if (auto account = account_.lock())
            account->upateTradePassword();
        if (page_)
            page_->tradePasswordChanged(ask_);
        finish();
    }
    bool changeTradePassword(DataModel*, const QString&, const CSError& error) override
    {
        if (page_)
            page_->tradePasswordFailed(ask_, error);
        finish();
        return true;
    }
    // A request that lost its observers (a reconnect drops them) never
    // answers: past its time-out the change no longer holds the account.
    bool isFor(const Account* account) const
    {
        return !finished_ && !deadline_.hasExpired() && account_.lock().get() == account;
    }

    bool hasExpired() const { return !finished_ && deadline_.hasExpired(); }

    static std::vector<std::unique_ptr<TradePasswordChange>>& pending()
    {
        static std::vector<std::unique_ptr<TradePasswordChange>> changes;
        return changes;
    }

private:
    // The request still holds this observer while it calls out: it goes
    // once the call has returned.
    void finish()
    {
        finished_ = true;
        QTimer::singleShot(0, [this] {
            auto& all = pending();
            all.erase(
                std::remove_if(all.begin(), all.end(), [this](const auto& c) { return c.get() == this; }),
                all.end());
        });
    }

    std::weak_ptr<Account> account_;
    QPointer<ChangePasswordViewController> page_;
    quint64 ask_;
    QDeadlineTimer deadline_ { std::chrono::seconds(Account::kTimeout + 5) };
    bool finished_ = false;
};

const QString kTradePasswordChannel = QStringLiteral("tradePassword");

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
    const auto& all = TradePasswordChange::pending();
    return account
        && std::any_of(all.begin(), all.end(), [&](const auto& c) { return c->isFor(account.get()); });
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

    QString problem;
    if (segment_ == kTradePassword) {
        // The account keeps one pending password: a second change before the
        // first is answered would put the wrong one into the prefix.
        if (isChangingTradePassword())
            return error(QStringLiteral("正在修改交易密码，请等待结果。"));
        auto& pending = TradePasswordChange::pending();
        std::erase_if(pending, [](const auto& c) { return c->hasExpired(); });
        // The outcome is shown only while the page still shows this account.
        const quint64 ask = askedFor().ask(kTradePasswordChannel, account->customerNumber);
        pending.push_back(std::make_unique<TradePasswordChange>(account, this, ask));
        TradePasswordChange* change = pending.back().get();
        problem = account->requestChangeTradePassword(change, oldPassword, confirm);
        if (!problem.isEmpty()) {
            askedFor().settle(kTradePasswordChannel);
            pending.erase(std::find_if(
                pending.begin(), pending.end(), [&](const auto& c) { return c.get() == change; }));
        }
    } else {
        // No capital account chosen, or none listed: nothing to change.
        const std::vector<RDOFund> list = account->getFundInfoList(std::nullopt);
        if (selectedFund_ < 0 || size_t(selectedFund_) >= list.size())
            return;
        problem = account->requestChangeFundPassword(
            this, oldPassword, confirm, list[size_t(selectedFund_)].fundId);
    }
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

void ChangePasswordViewController::tradePasswordChanged(quint64 ask)
{
    if (isUnloaded() || !askedFor().takeAsk(kTradePasswordChannel, ask))
        return;
    alerts()->runAlert(AlertRequest::tip(Account::getChangeTradePasswordSuccessMessage()), nullptr);
    resetPasswordText();
}

void ChangePasswordViewController::tradePasswordFailed(quint64 ask, const CSError& e)
{
    if (isUnloaded() || !askedFor().takeAsk(kTradePasswordChannel, ask))
        return;
    error(e.domain);
}

void ChangePasswordViewController::changeFundPassword(DataModel*, const QString&, const bool&)
{
    alerts()->runAlert(AlertRequest::tip(Account::getChangeFundPasswordSuccessMessage()), nullptr);
    resetPasswordText();
}

bool ChangePasswordViewController::changeFundPassword(DataModel*, const QString&, const CSError& e)
{
    error(e.domain);
    return true;
}
