#pragma once

#include "comm/transport/VEKDataBuffer.h"
#include "comm/transport/VEKPacketFlag.h"
#include "comm/transport/VEKResponse.h"
#include "platform/Lifetime.h"

#include <QByteArray>
#include <QDateTime>
#include <QRecursiveMutex>
#include <QString>
#include <memory>
#include <optional>
#include <stdexcept>

class VEKConnectionContext;

// An error a context reports through its out-parameter.
struct VEKContextError {
    QString domain;
    qint64 code = 0;
};

// The request layer's side of a context. The context never owns its delegate
// and calls nothing once the delegate is destroyed.
class VEKConnectionContextDelegate : public platform::Lifetime {
public:
    virtual ~VEKConnectionContextDelegate() = default;

    // context:buildRequest:withFlags: the bytes to frame for a packet, or
    // nullopt when there is nothing to write.
    virtual std::optional<QByteArray> contextBuildRequest(
        VEKConnectionContext& context, const QByteArray& request, const VEKPacketFlag& flags)
        = 0;
    // context:parseRespone:withFlags: the response for a reply payload, or
    // nullopt when the payload cannot be used (the reply is then skipped).
    virtual std::optional<VEKResponse> contextParseRespone(
        VEKConnectionContext& context, const QByteArray& payload, const VEKPacketFlag& flags)
        = 0;
};

// A problem with the cache folders, named and worded as the cache reports it.
class VEKCacheException : public std::runtime_error {
public:
    VEKCacheException(QString name, QString reason)
        : std::runtime_error((name + QStringLiteral(": ") + reason).toStdString())
        , name_(std::move(name))
        , reason_(std::move(reason))
    {
    }
    const QString& name() const { return name_; }
    const QString& reason() const { return reason_; }

private:
    QString name_;
    QString reason_;
};

// The reply cache. Operations that touch the cache folders throw
// VEKCacheException; the operations the connection uses while writing and
// reading (freshness, lookup, storing) never throw.
class VEKCacheDelegate {
public:
    virtual ~VEKCacheDelegate() = default;
    virtual QString storagePath() const = 0;
    virtual void setStoragePath(const QString& path) = 0;
    virtual void setDefaultCachePolicy(qint32 policy) = 0;
    virtual qint32 defaultCachePolicy() const = 0;
    virtual void removeCachedDataForRequest(const QByteArray& request) = 0;
    virtual bool isCachedDataCurrentForRequest(const QByteArray& request) const noexcept = 0;
    virtual void storeResponse(
        const QByteArray& response, const QByteArray& request, double maxAge) noexcept = 0;
    virtual std::optional<QByteArray> cachedResponseDataForRequest(
        const QByteArray& request) const noexcept = 0;
    virtual std::optional<QString> pathToCachedResponseDataForRequest(
        const QByteArray& request) const noexcept = 0;
    virtual void clearCachedResponsesForStoragePolicy(qint32 policy) = 0;
    virtual std::shared_ptr<QRecursiveMutex> accessLock() const = 0;
    virtual void setAccessLock(std::shared_ptr<QRecursiveMutex> lock) = 0;
};

// RFC 1123 dates of the cache files ("EEE, dd MMM yyyy HH:mm:ss 'GMT'",
// English names, GMT).
class VEKRFC1123DateFormatter {
public:
    QString stringFromDate(const QDateTime& date) const;
    std::optional<QDateTime> dateFromString(const QString& text) const;
};

// Turns outgoing packets into bytes and cuts replies out of the received
// bytes; the subclasses know the framing.
class VEKConnectionContext : public VEKCacheDelegate {
public:
    static constexpr qint32 kCachePolicyNone = 1; // store nothing
    static constexpr qint32 kCachePolicySession = 2; // store in the session store
    static constexpr qsizetype kReceiveCapacity = 5120;

    explicit VEKConnectionContext(VEKConnectionContextDelegate* delegate = nullptr); // initWithDelegate:
    ~VEKConnectionContext() override;
    VEKConnectionContext(const VEKConnectionContext&) = delete;
    VEKConnectionContext& operator=(const VEKConnectionContext&) = delete;

    // nullptr once the delegate has been destroyed.
    VEKConnectionContextDelegate* delegate() const { return delegate_.get(); }
    void setDelegate(VEKConnectionContextDelegate* delegate) { delegate_ = delegate; }
    VEKCacheDelegate& cache() { return *this; }

    // doWritePacket:cacheResponse: the bytes to write for a packet, or nullopt.
    // When the packet uses the cache and a current reply is stored, the reply
    // goes to *cacheResponse and nothing is written.
    std::optional<QByteArray> doWritePacket(const QByteArray& data, qint64 packetid, bool encrypt,
        bool compressResponse, quint64 cacheAge, std::optional<QByteArray>* cacheResponse);
    // The same for any packet type with the write packet's accessors.
    template <class Packet>
    std::optional<QByteArray> doWritePacket(const Packet* packet, std::optional<QByteArray>* cacheResponse)
    {
        if (!packet) {
            if (cacheResponse)
                cacheResponse->reset();
            return std::nullopt;
        }
        return doWritePacket(packet->data(), qint64(packet->packetid()), packet->encrypt(),
            packet->compressResponse(), packet->cacheAge(), cacheResponse);
    }

    // Appends to the receive buffer; false when the bytes could not be kept
    // (the buffer would pass its bound), in which case the reader starts over.
    bool receiveData(QByteArrayView bytes);
    // The next reply, or nullopt when no complete usable one is buffered.
    std::optional<VEKResponse> readPacketAvailable();
    virtual void resetData();
    virtual QByteArray construcData(const QByteArray& data);
    // The next reply payload with its flags; nullopt (and the error "Less
    // data", 500) when more bytes are needed.
    virtual std::optional<QByteArray> checkResponse(VEKContextError* error, VEKPacketFlag* flags);

    // Bytes received and not yet consumed.
    qsizetype bufferedLength() const;
    // The packet id a reply still coming in is for, once its header was read;
    // nullopt when no such header is buffered or the framing names none.
    virtual std::optional<quint64> incompletePacketId() const { return std::nullopt; }
    // The reader has found a frame's start (its sync, its status line) and
    // reads its head or body; what it keeps before that is no frame's yet.
    virtual bool frameBegun() const { return false; }

    // VEKCacheDelegate
    QString storagePath() const override;
    void setStoragePath(const QString& path) override;
    void setDefaultCachePolicy(qint32 policy) override;
    qint32 defaultCachePolicy() const override;
    void removeCachedDataForRequest(const QByteArray& request) override;
    bool isCachedDataCurrentForRequest(const QByteArray& request) const noexcept override;
    void storeResponse(
        const QByteArray& response, const QByteArray& request, double maxAge) noexcept override;
    std::optional<QByteArray> cachedResponseDataForRequest(const QByteArray& request) const noexcept override;
    std::optional<QString> pathToCachedResponseDataForRequest(
        const QByteArray& request) const noexcept override;
    void clearCachedResponsesForStoragePolicy(qint32 policy) override;
    std::shared_ptr<QRecursiveMutex> accessLock() const override;
    void setAccessLock(std::shared_ptr<QRecursiveMutex> lock) override;

    // MD5 of the request bytes as 32 upper-case hexadecimal digits.
    static QString keyForRequest(QByteArrayView request);
    // One formatter per thread.
    static const VEKRFC1123DateFormatter& rfc1123DateFormatter();
    static std::optional<QDateTime> dateFromRFC1123String(const QString& text);
    static QString stringWithRFC1123Date(const QDateTime& date);

protected:
    static VEKContextError lessData() { return { QStringLiteral("Less data"), 500 }; }

    // The readers work on the unconsumed bytes and consume from the front;
    // consumed bytes are reclaimed when more arrive.
    QByteArrayView unread() const;
    void consume(qsizetype count);
    void clearReceiveBuffer();

private:
    std::optional<QByteArray> readCacheFile(const QString& path, QVariantMap* dictionary) const noexcept;

    platform::WeakRef<VEKConnectionContextDelegate> delegate_;
    std::unique_ptr<VEKDataBuffer> receiveBuffer_;
    qsizetype consumed_ = 0;
    qint32 defaultCachePolicy_ = kCachePolicySession;
    QString storagePath_;
    std::shared_ptr<QRecursiveMutex> accessLock_;
};
