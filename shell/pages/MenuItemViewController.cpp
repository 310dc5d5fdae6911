#include "shell/pages/MenuItemViewController.h"

#include "core/NotificationCenter.h"

#include <QTimer>

MenuItemViewController::MenuItemViewController(BaseNode::Ptr node, Services services)
    : notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , menuInfo_(std::move(node))
    , setupScope_(std::make_unique<QObject>())
{
    notificationCenter->addObserver(static_cast<QObject*>(this),
        TypedNotificationCenter::PlainHandler([this] { loginAccountChanged(); }), pagenotify::kActiveAccountChanged);
}

MenuItemViewController::~MenuItemViewController() { unloadView(); }

void MenuItemViewController::load()
{
    if (unloaded_)
        return;
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
    setupScope_.reset();
}

void MenuItemViewController::loginAccountChanged()
{
    if (unloaded_)
        return;
    dropPendingRequests();
    willDropRequests();
    resetSetupScope();
    awakeFromNib();
    emit changed();
}

void MenuItemViewController::resetSetupScope()
{
    // The scope's timers and registrations go with it.
    if (setupScope_)
        notificationCenter->removeObserver(static_cast<QObject*>(setupScope_.get()));
    setupScope_ = std::make_unique<QObject>();
}

QTimer* MenuItemViewController::schedulePageTimer(int intervalMs, std::function<void()> fire, bool repeats)
{
    if (!setupScope_)
        return nullptr;
    auto* timer = new QTimer(setupScope_.get());
    timer->setInterval(intervalMs);
    timer->setSingleShot(!repeats);
    connect(timer, &QTimer::timeout, timer, std::move(fire));
    timer->start();
    return timer;
}

void MenuItemViewController::observePage(
    int32_t notificationType, std::function<void(const platform::Notification&)> handler)
{
    if (setupScope_)
        notificationCenter->addObserver(setupScope_.get(), TypedNotificationCenter::Handler(std::move(handler)),
            notificationType);
}
