#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// AES-256-CBC with PKCS#7 padding for stored text. The key is the first 32
// bytes of the key text's UTF-8, zero-padded when shorter, so the 36-character
// keys use their first 32 bytes. Each encryption draws a random 16-byte IV and
// stores it in front of the ciphertext.
//
// Byte level: IV || ciphertext, nullopt on any failure. Decryption refuses
// input shorter than 32 bytes or not a multiple of 16.
std::optional<QByteArray> AES256EncryptWithKey(QByteArrayView data, const QString& key);
std::optional<QByteArray> AES256DecryptWithKey(QByteArrayView data, const QString& key);

class AesEncryption {
public:
    // Base64 (standard, padded) of IV || ciphertext of the text's UTF-8;
    // nullopt for empty text or any failure.
    static std::optional<QString> encodeStringWithAES(const QString& text, const QString& key);
    // The text back; nullopt for empty input, bad Base64, a wrong key and
    // plain bytes that are not UTF-8.
    static std::optional<QString> decodeStringWithAES(const QString& text, const QString& key);
};
