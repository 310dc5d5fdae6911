#include "compliance/BusinessContractWindow.h"

#include "compliance/ComplianceOutcomeRelays.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"

namespace {

IContractWindowPresenter*& presenterSlot()
{
    static IContractWindowPresenter* presenter = nullptr;
    return presenter;
}

IPermissionSigner*& signerSlot()
{
    static IPermissionSigner* signer = nullptr;
    return signer;
}

} // namespace

IContractWindowPresenter* defaultContractPresenter()
{
    return presenterSlot();
}

void setDefaultContractPresenter(IContractWindowPresenter* presenter)
{
    presenterSlot() = presenter;
}

IPermissionSigner* defaultPermissionSigner()
{
    // Notices are signed through the permission front unless one was set.
    return signerSlot() ? signerSlot() : PermissionSettingsManager::getInstance();
}

void setDefaultPermissionSigner(IPermissionSigner* signer)
{
    signerSlot() = signer;
}

BusinessContractWindow::BusinessContractWindow(RDOOpdAppropriateness appropriateness, IPermissionSigner* signer)
    : QObject()
    , appropriateness_(std::move(appropriateness))
    , signer_(signer ? signer : defaultPermissionSigner())
{
}

BusinessContractWindow::BusinessContractWindow(
    const QString& content, const QString& defaultButton, const QString& alterButton, IPermissionSigner* signer)
    : QObject()
    , canCancel(!alterButton.isEmpty())
    , checkButtonHidden(true)
    , defaultButton(defaultButton)
    , alterButton(alterButton)
    , signer_(signer ? signer : defaultPermissionSigner())
{
    appropriateness_.content = content;
}

BusinessContractWindow::~BusinessContractWindow() = default;

void BusinessContractWindow::windowDidLoad()
{
    if (!appropriateness_.title.isEmpty())
        state_.windowTitle = appropriateness_.title;
    // Text wins over a web address; with neither the window stays empty.
    if (!appropriateness_.content.isEmpty())
        state_.body = Body::Text;
    else if (!appropriateness_.webUrl.isEmpty())
        state_.body = Body::Web;
    if (!defaultButton.isEmpty()) {
        state_.compactHeight = true;
        state_.agreeTitle = defaultButton;
    }
    if (!alterButton.isEmpty())
        state_.cancelTitle = alterButton;
    state_.checkVisible = !checkButtonHidden;
    state_.agreeEnabled = checkButtonHidden;
    state_.cancelVisible = canCancel;
    state_.agreeCentred = !canCancel;
    emit changed();
}

void BusinessContractWindow::checkButtonClick(bool on)
{
    if (state_.closed || state_.busy || state_.signedOn)
        return;
    state_.checkOn = on;
    state_.agreeEnabled = on;
    emit changed();
}

void BusinessContractWindow::cancelButtonClick()
{
    finish(kContractDeclined);
}

void BusinessContractWindow::agreeButtonClick()
{
    // A click the view let through while the button was off counts for nothing.
    if (state_.closed || state_.busy || state_.signedOn || !state_.agreeEnabled)
        return;
    if (!appropriateness_.problemConfirmUrl.isEmpty())
        sign();
    else
        finish(kContractAgreed);
}

void BusinessContractWindow::sign()
{
    if (!signer_) {
        alerts_->runAlert(AlertRequest::error(QStringLiteral("此协议需要签署，当前无法签署，请稍后再试。")), nullptr);
        return;
    }
    showProgressIndicator();
    account_ = ActionOutcomeRelay::activeAccount();
    const platform::Lifetime::Watch alive = watch();
    // Signed whatever becomes of the window: once it has closed (the lock,
    // the step given up) the sign's relay tells the answer.
    auto& relay = ActionOutcomeRelay::start<PermissionSignRelay>(
        ActionOutcomeRelay::Listener { this, {} }, *this, &contractSignedText);
    const QString handle = signer_->requestPermissionSign(&relay, appropriateness_.problemConfirmUrl);
    relay.sent(handle);
    // Nothing went out (a link without function numbers): the customer is told
    // rather than left waiting.
    if (alive.survived() && handle.isEmpty() && state_.busy) {
        hideProgressIndicator();
        alerts_->runAlert(AlertRequest::error(QStringLiteral("协议签署请求无效")), nullptr);
    }
}

void BusinessContractWindow::showProgressIndicator()
{
    state_.busy = true;
    state_.checkEnabled = false;
    state_.cancelEnabled = false;
    state_.agreeEnabled = false;
    emit changed();
}

void BusinessContractWindow::hideProgressIndicator()
{
    state_.busy = false;
    state_.checkEnabled = true;
    state_.cancelEnabled = true;
    state_.agreeEnabled = !state_.checkVisible || state_.checkOn;
    emit changed();
}

void BusinessContractWindow::permissionSign(DataModel*, const QString&, const QString& message)
{
    if (state_.closed || state_.signedOn)
        return;
    if (message.isEmpty()) {
        hideProgressIndicator();
        finish(kContractAgreed);
        return;
    }
    // The box sits on the notice, which would take it along: the notice
    // closes agreed once the message is read, its buttons off meanwhile. A
    // cancel from its owner (the lock, the step given up) still declines.
    state_.signedOn = true;
    state_.busy = false;
    emit changed();
    showSignOutcome(AlertRequest::tip(message), [this] { finish(kContractAgreed); });
}

bool BusinessContractWindow::permissionSign(DataModel*, const QString&, const CSError& error)
{
    if (!state_.closed) {
        hideProgressIndicator();
        showSignOutcome(AlertRequest::error(error.domain), {});
    }
    return true;
}

void BusinessContractWindow::showSignOutcome(AlertRequest box, std::function<void()> read)
{
    // Closed by the lock's closing of message boxes, it would count as read:
    // it goes with the notice instead, and is told again.
    box.closesOnLock = false;
    unread_ = box;
    const platform::Lifetime::Watch alive = watch();
    alerts_->runAlert(box, [this, alive, read = std::move(read)](int) {
        if (!alive.survived())
            return;
        unread_.reset();
        if (read)
            read();
    });
}

void BusinessContractWindow::finish(int result)
{
    if (state_.closed)
        return;
    state_.closed = true;
    state_.busy = false;
    state_.result = result;
    // A sign still on its way is its relay's to tell from now on; its
    // message or refusal, up and unread, goes with the window and is told
    // again where it outlives a lock, for the customer it was signed for.
    renewLifetime();
    if (unread_)
        ActionOutcomeRelay::tell(
            MenuItemViewManager::getInstance()->window(), *std::exchange(unread_, {}), account_);
    const platform::Lifetime::Watch alive = watch();
    emit changed();
    if (alive.survived())
        emit finished(result);
}

// ---------------------------------------------------------------------------

BusinessContractManager::BusinessContractManager(
    std::vector<RDOOpdAppropriateness> infomations, IContractWindowPresenter* presenter, IPermissionSigner* signer)
    : infomations_(std::move(infomations))
    , presenter_(presenter ? presenter : defaultContractPresenter())
    , signer_(signer)
{
}

BusinessContractManager::~BusinessContractManager()
{
    platform::RunLoop::main()->cancelAll(this);
    for (const auto& window : shown_)
        QObject::disconnect(window.get(), nullptr, nullptr, nullptr);
}

void BusinessContractManager::showBusinessContracts()
{
    if (started_)
        return;
    started_ = true;
    showAt(0);
}

void BusinessContractManager::showAt(size_t index)
{
    if (index >= infomations_.size()) {
        complete(true);
        return;
    }
    auto window = std::make_shared<BusinessContractWindow>(infomations_[index], signer_);
    window->canCancel = canCancel;
    contractWindow_ = window;
    shown_.push_back(window);
    const std::weak_ptr<int> alive = alive_.lifetimeToken();
    QObject::connect(window.get(), &BusinessContractWindow::finished, [this, alive, index](int result) {
        if (alive.expired())
            return;
        if (result != kContractAgreed)
            complete(false);
        else
            showAt(index + 1);
    });
    window->windowDidLoad();
    if (presenter_)
        presenter_->present(window, parentWindow_.data());
    else
        window->cancelButtonClick(); // nowhere to show it: not agreed
}

void BusinessContractManager::closeBusinessContracts()
{
    if (contractWindow_)
        contractWindow_->cancelButtonClick();
}

void BusinessContractManager::complete(bool agreed)
{
    platform::RunLoop::main()->perform(
        platform::RunLoopModes::common(), [this, agreed] { showBusinessContractsComplete(agreed); }, this);
}

void BusinessContractManager::showBusinessContractsComplete(bool agreed)
{
    if (BusinessContractDelegate* delegate = delegate_.get())
        delegate->businessContractSuccess(agreed);
}
