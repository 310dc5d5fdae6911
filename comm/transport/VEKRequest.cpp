#include "comm/transport/VEKRequest.h"

VEKRequest::VEKRequest(QString name, QByteArray data, VEKRequestObserver* observer)
    : name_(std::move(name))
    , data_(std::move(data))
    , observer_(observer)
{
}
