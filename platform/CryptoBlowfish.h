#pragma once

#include <QtGlobal>
#include <cstddef>
#include <memory>

namespace platform {

// The Blowfish key schedule and block function (standard P-array and S-boxes).
// Modes and byte order are the caller's business: a block is two 32-bit halves.
class Blowfish {
public:
    // The longest key the schedule uses: 18 words of P-array.
    static constexpr std::size_t kMaxKeyLength = 72;

    // nullptr when memory runs out. The schedule starts keyed with nothing.
    static std::unique_ptr<Blowfish> create();
    ~Blowfish();

    Blowfish(const Blowfish&) = delete;
    Blowfish& operator=(const Blowfish&) = delete;

    // Standard key schedule. Refuses an empty key or one longer than 72 bytes.
    bool setKey(const void* key, std::size_t length);
    bool isKeyed() const { return keyed_; }

    void encryptBlock(quint32& left, quint32& right) const;
    void decryptBlock(quint32& left, quint32& right) const;

private:
    struct Schedule;
    explicit Blowfish(std::unique_ptr<Schedule> schedule);

    std::unique_ptr<Schedule> schedule_;
    bool keyed_ = false;
};

} // namespace platform
