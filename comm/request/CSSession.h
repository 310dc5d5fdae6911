#pragma once

#include "comm/crypto/VEKCoder.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The process-wide TC session state every CSNetwork shares: the session
// string, the configuration the session request carries, and the session key
// that enciphered bodies use.
class CSSession {
public:
    static constexpr int kSessionKeyLength = 16;
    // The bundle resource that holds the server's public key container.
    static constexpr char kPublicKeyResource[] = "pubkey";
    static constexpr char kPublicKeyResourceType[] = "bin";

    // The stored session (hexadecimal text), or nothing; an empty string counts
    // as none.
    static std::optional<QString> session();
    static bool hasSession() { return session().has_value(); }
    static void setSession(const std::optional<QString>& session);

    // False, and nothing stored, when any text is missing (null) or would not
    // sit safely in a request body (non-ASCII, "&" or "=").
    static bool setConfig(const QString& utid, const QString& softname, const QString& softversion);
    static std::optional<QString> utid();
    static std::optional<QString> softname();
    static std::optional<QString> softversion();

    // 16 random characters, made on first use; nullopt only when the random
    // source fails.
    static std::optional<VEKKey> sessionKey();
    // The body sealed under the session key, as Base64 text.
    static std::optional<QByteArray> encipherBody(QByteArrayView body);
    // An enciphered reply opened with the session key.
    static std::optional<QByteArray> decipherReply(QByteArrayView payload);
    // The session key RSA-encrypted for the server, as hexadecimal text.
    static std::optional<QByteArray> encryptedSessionKey(const QString& publicKeyFile);

    // Forgets the session, the configuration and the session key.
    static void releaseAll();
};
