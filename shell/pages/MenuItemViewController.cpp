#include "shell/pages/MenuItemViewController.h"

#include "core/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <vector>

// What one run of the set-up made: its registrations are filed under the
// scope object, its timers are owned here.
struct MenuItemViewController::SetupScope {
    QObject registrations;
    std::vector<std::unique_ptr<platform::RunLoopTimer>> timers;
};

MenuItemViewController::MenuItemViewController(BaseNode::Ptr node, Services services)
    : notificationCenter(
        services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , menuInfo_(std::move(node))
    , setupScope_(std::make_unique<SetupScope>())
{
    notificationCenter->addObserver(static_cast<QObject*>(this),
        TypedNotificationCenter::PlainHandler([this] { loginAccountChanged(); }),
        pagenotify::kActiveAccountChanged);
}

MenuItemViewController::~MenuItemViewController()
{
    unloadView();
}

void MenuItemViewController::load()
{
    if (unloaded_)
        return;
    joinOwedReads();
    awakeFromNib();
    initViewControls();
    emit changed();
}

void MenuItemViewController::unloadView()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    dropPendingRequests();
    willDropRequests();
    notificationCenter->removeObserver(static_cast<QObject*>(this));
    if (setupScope_)
        notificationCenter->removeObserver(&setupScope_->registrations);
    setupScope_.reset();
}

void MenuItemViewController::loginAccountChanged()
{
    if (unloaded_)
        return;
    dropPendingRequests();
    willDropRequests();
    clearAccountFigures();
    resetSetupScope();
    joinOwedReads();
    awakeFromNib();
    emit changed();
}

void MenuItemViewController::dropPendingRequests()
{
    if (OwedReads* owed = OwedReads::existing())
        owed->leave(this);
    renewLifetime();
    askedFor_.forgetAll();
}

void MenuItemViewController::joinOwedReads()
{
    // Before the set-up asks: what it reads answers the outcomes so far.
    if (const QStringList figures = figuresShown(); !figures.isEmpty())
        OwedReads::getInstance()->join(this, figures);
}

QStringList MenuItemViewController::figuresOutOfDate() const
{
    const OwedReads* owed = OwedReads::existing();
    return owed && !unloaded_ ? owed->owedTo(this) : QStringList();
}

void MenuItemViewController::figureRead(const char* figure, bool withRows)
{
    if (OwedReads* owed = OwedReads::existing())
        owed->readAnswered(this, QString::fromLatin1(figure), withRows);
}

std::size_t MenuItemViewController::pageTimerCount() const
{
    return setupScope_ ? setupScope_->timers.size() : 0;
}

int MenuItemViewController::pageRegistrationCount() const
{
    // Every typed centre files its registrations on the platform's centre.
    return setupScope_
        ? platform::NotificationCenter::defaultCenter().registrationCount(&setupScope_->registrations)
        : 0;
}

void MenuItemViewController::cancelPageTimer(const platform::RunLoopTimer* timer)
{
    if (setupScope_)
        std::erase_if(setupScope_->timers, [timer](const auto& t) { return t.get() == timer; });
}

void MenuItemViewController::resetSetupScope()
{
    // The scope's timers and registrations go with it.
    if (setupScope_)
        notificationCenter->removeObserver(&setupScope_->registrations);
    setupScope_ = std::make_unique<SetupScope>();
}

platform::RunLoopTimer* MenuItemViewController::schedulePageTimer(
    double seconds, std::function<void()> fire, bool repeats)
{
    if (!setupScope_)
        return nullptr;
    auto timer = std::make_unique<platform::RunLoopTimer>(
        seconds, repeats, platform::RunLoopModes::defaultMode(), std::move(fire));
    timer->start();
    setupScope_->timers.push_back(std::move(timer));
    return setupScope_->timers.back().get();
}

void MenuItemViewController::observePage(
    int32_t notificationType, std::function<void(const platform::Notification&)> handler)
{
    if (setupScope_)
        notificationCenter->addObserver(&setupScope_->registrations,
            TypedNotificationCenter::Handler(std::move(handler)), notificationType);
}
