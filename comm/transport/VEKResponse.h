#pragma once

#include <QByteArray>
#include <QtGlobal>

// One reply as the request layer sees it: the payload and the frame's status
// and packet id.
class VEKResponse {
public:
    VEKResponse() = default;
    VEKResponse(QByteArray data, quint64 status, quint64 packet) // initWithData:status:packet:
        : data_(std::move(data))
        , status_(status)
        , packetid_(packet)
    {
    }

    const QByteArray& data() const { return data_; }
    quint64 status() const { return status_; }
    quint64 packetid() const { return packetid_; }

private:
    QByteArray data_;
    quint64 status_ = 0;
    quint64 packetid_ = 0;
};
