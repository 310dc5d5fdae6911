#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// One server to connect to.
class CSServerInfo {
public:
    static constexpr qint64 kDefaultTimeout = 30;

    // initWithAddress:port: nothing for a missing (null or empty) address;
    // otherwise TC binary mode, no proxy, no TLS and a 30-second time-out.
    static std::optional<CSServerInfo> initWithAddress(const QString& address, quint16 port);

    bool needSSL() const { return needSSL_; }
    void setNeedSSL(bool need) { needSSL_ = need; }
    quint16 port() const { return port_; }
    void setPort(quint16 port) { port_ = port; }
    quint16 proxyPort() const { return proxyPort_; }
    // 0 TC binary frames, anything else the HTTP form.
    qint32 protocolMode() const { return protocolMode_; }
    void setProtocolMode(qint32 mode) { protocolMode_ = mode; }
    bool isTCMode() const { return protocolMode_ == 0; }
    // 1 HTTP CONNECT, 2 SOCKS4, 3 SOCKS5, anything else none.
    qint32 proxyMode() const { return proxyMode_; }
    void setProxyMode(qint32 mode) { proxyMode_ = mode; }
    const QString& address() const { return address_; }
    void setAddress(const QString& address) { address_ = address; }
    // Connect time-out in seconds; below 1 the connection uses 30.
    qint64 timeout() const { return timeout_; }
    void setTimeout(qint64 seconds) { timeout_ = seconds; }
    const QString& proxyAddress() const { return proxyAddress_; }
    void setProxyAddress(const QString& address) { proxyAddress_ = address; }
    const QString& proxyUser() const { return proxyUser_; }
    void setProxyUser(const QString& user) { proxyUser_ = user; }
    const QString& proxyPassword() const { return proxyPassword_; }
    void setProxyPassword(const QString& password) { proxyPassword_ = password; }

private:
    CSServerInfo() = default;

    bool needSSL_ = false;
    quint16 port_ = 0;
    quint16 proxyPort_ = 0;
    qint32 protocolMode_ = 0;
    qint32 proxyMode_ = 0;
    QString address_;
    qint64 timeout_ = kDefaultTimeout;
    QString proxyAddress_;
    QString proxyUser_;
    QString proxyPassword_;
};
