#pragma once

#include "platform/Lifetime.h"

#include <QByteArray>
#include <QString>

// Whoever waits for a request's reply. The request layer's observer protocol
// derives from it; a request never owns its observer and, once the observer
// is destroyed, no longer hands it out.
class VEKRequestObserver : public platform::Lifetime {
public:
    virtual ~VEKRequestObserver() = default;
};

// One request inside the communication library: the bytes to send, who waits
// for them and how the reply is to travel.
class VEKRequest {
public:
    VEKRequest(QString name, QByteArray data, VEKRequestObserver* observer); // initWithName:data:observer:
    virtual ~VEKRequest() = default;
    VEKRequest(const VEKRequest&) = default;
    VEKRequest& operator=(const VEKRequest&) = default;

    const QString& name() const { return name_; }
    const QByteArray& data() const { return data_; }
    // nullptr when there was none or it has been destroyed.
    VEKRequestObserver* observer() const { return observer_.get(); }
    void setObserver(VEKRequestObserver* observer) { observer_ = observer; }

    bool encrypt() const { return encrypt_; }
    void setEncrypt(bool encrypt) { encrypt_ = encrypt; }
    bool compressResponse() const { return compressResponse_; }
    void setCompressResponse(bool compress) { compressResponse_ = compress; }

private:
    QString name_;
    QByteArray data_;
    platform::WeakRef<VEKRequestObserver> observer_;
    bool encrypt_ = false;
    bool compressResponse_ = false;
};
