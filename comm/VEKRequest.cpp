#include "comm/VEKRequest.h"

VEKRequest::VEKRequest(QString name, QByteArray data, VEKRequestObserver* observer)
    : name_(std::move(name))
    , data_(std::move(data))
{
    setObserver(observer);
}

VEKRequestObserver* VEKRequest::observer() const
{
    return observerLifetime_.expired() ? nullptr : observer_;
}

void VEKRequest::setObserver(VEKRequestObserver* observer)
{
    observer_ = observer;
    observerLifetime_
        = observer ? std::weak_ptr<const char>(observer->lifetime_) : std::weak_ptr<const char>();
}
