#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

// Whoever waits for a request's reply. The request layer's observer protocol
// derives from it; a request never owns its observer and, once the observer
// is destroyed, no longer hands it out.
class VEKRequestObserver {
public:
    VEKRequestObserver() = default;
    // A copy is a different observer with its own lifetime.
    VEKRequestObserver(const VEKRequestObserver&) { }
    VEKRequestObserver& operator=(const VEKRequestObserver&) { return *this; }
    virtual ~VEKRequestObserver() = default;

private:
    friend class VEKRequest;
    std::shared_ptr<const char> lifetime_ = std::make_shared<const char>('\0');
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
    VEKRequestObserver* observer() const;
    void setObserver(VEKRequestObserver* observer);

    bool encrypt() const { return encrypt_; }
    void setEncrypt(bool encrypt) { encrypt_ = encrypt; }
    bool compressResponse() const { return compressResponse_; }
    void setCompressResponse(bool compress) { compressResponse_ = compress; }

private:
    QString name_;
    QByteArray data_;
    VEKRequestObserver* observer_ = nullptr;
    std::weak_ptr<const char> observerLifetime_;
    bool encrypt_ = false;
    bool compressResponse_ = false;
};
