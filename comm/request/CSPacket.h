#pragma once

#include <QString>
#include <QtGlobal>

// One request as a caller builds it: function numbers, body text and how the
// request and its reply are to travel.
class CSPacket {
public:
    static constexpr quint64 kDefaultService = 300;

    // initWithMFunc:sFunc:data: the encoding is the class-wide packet encoding
    // of the moment.
    CSPacket(quint64 mFunc, quint64 sFunc, const QString& data);

    // The encoding later packets take: 0 GB 18030, 1 UTF-16, 2 UTF-8.
    static void setPacketEncoding(qint32 encoding);
    static qint32 packetEncoding();

    quint64 mFunc() const { return mFunc_; }
    void setMFunc(quint64 value) { mFunc_ = value; }
    quint64 sFunc() const { return sFunc_; }
    void setSFunc(quint64 value) { sFunc_ = value; }
    const QString& data() const { return data_; }
    void setData(const QString& data) { data_ = data; }
    bool session() const { return session_; }
    void setSession(bool session) { session_ = session; }
    bool encrypt() const { return encrypt_; }
    void setEncrypt(bool encrypt) { encrypt_ = encrypt; }
    bool compressed() const { return compressed_; }
    void setCompressed(bool compressed) { compressed_ = compressed; }
    qint32 encoding() const { return encoding_; }
    void setEncoding(qint32 encoding) { encoding_ = encoding; }
    quint64 service() const { return service_; }
    void setService(quint64 service) { service_ = service; }

private:
    quint64 mFunc_;
    quint64 sFunc_;
    QString data_;
    bool session_ = false;
    bool encrypt_ = false;
    bool compressed_ = false;
    qint32 encoding_;
    quint64 service_ = kDefaultService;
};
