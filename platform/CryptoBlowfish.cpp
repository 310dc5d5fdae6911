// The low-level Blowfish calls are deprecated in OpenSSL 3 but still the only
// way to reach the bare block function without a mode wrapped around it.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "platform/CryptoBlowfish.h"

#include "platform/Crypto.h"

#include <new>
#include <openssl/blowfish.h>

namespace platform {

struct Blowfish::Schedule {
    BF_KEY key;
};

Blowfish::Blowfish(std::unique_ptr<Schedule> schedule)
    : schedule_(std::move(schedule))
{
}

Blowfish::~Blowfish()
{
    if (schedule_)
        secureWipe(&schedule_->key, sizeof(schedule_->key));
}

std::unique_ptr<Blowfish> Blowfish::create()
{
    std::unique_ptr<Schedule> schedule(new (std::nothrow) Schedule {});
    if (!schedule)
        return nullptr;
    std::unique_ptr<Blowfish> cipher(new (std::nothrow) Blowfish(std::move(schedule)));
    return cipher;
}

bool Blowfish::setKey(const void* key, std::size_t length)
{
    if (!key || length == 0 || length > kMaxKeyLength)
        return false;
    BF_set_key(&schedule_->key, static_cast<int>(length), static_cast<const unsigned char*>(key));
    keyed_ = true;
    return true;
}

void Blowfish::encryptBlock(quint32& left, quint32& right) const
{
    BF_LONG data[2] = { left, right };
    BF_encrypt(data, &schedule_->key);
    left = static_cast<quint32>(data[0]);
    right = static_cast<quint32>(data[1]);
}

void Blowfish::decryptBlock(quint32& left, quint32& right) const
{
    BF_LONG data[2] = { left, right };
    BF_decrypt(data, &schedule_->key);
    left = static_cast<quint32>(data[0]);
    right = static_cast<quint32>(data[1]);
}

} // namespace platform
