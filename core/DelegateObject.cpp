#include "core/DelegateObject.h"

DataModelObserver* DelegateObject::observer() const
{
    std::lock_guard lock(lock_);
    return observer_.get();
}

void DelegateObject::setObserver(DataModelObserver* observer)
{
    std::lock_guard lock(lock_);
    observer_ = DataModelObserverRef(observer);
}

QString DelegateObject::identitfy() const
{
    std::lock_guard lock(lock_);
    return identitfy_;
}

void DelegateObject::setIdentitfy(const QString& identitfy)
{
    std::lock_guard lock(lock_);
    identitfy_ = identitfy;
}

QVariantMap DelegateObject::needParam() const
{
    std::lock_guard lock(lock_);
    return needParam_;
}

void DelegateObject::setNeedParam(const QVariantMap& needParam)
{
    std::lock_guard lock(lock_);
    needParam_ = needParam;
}
