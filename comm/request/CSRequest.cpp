#include "comm/request/CSRequest.h"

#include "comm/request/CSNetworkObserver.h"

CSRequest::CSRequest(QString name, QByteArray data, VEKRequestObserver* observer)
    : VEKRequest(std::move(name), std::move(data), observer)
{
}

CSNetworkObserver* CSRequest::networkObserver() const
{
    return dynamic_cast<CSNetworkObserver*>(observer());
}

qint32 CSRequest::encodingToVEKTCRS() const
{
    return (encoding_ == 0 || encoding_ == 2) ? encoding_ : 1;
}
