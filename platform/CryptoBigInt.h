#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// A signed arbitrary-precision integer over OpenSSL's BIGNUM. Values are
// copied on copy; every operation that can fail (no memory, division by
// zero, no inverse, an even Montgomery modulus) answers an empty optional.
class BigInt {
public:
    BigInt(); // zero
    ~BigInt();
    BigInt(const BigInt& other);
    BigInt& operator=(const BigInt& other);
    BigInt(BigInt&& other) noexcept;
    BigInt& operator=(BigInt&& other) noexcept;

    static std::optional<BigInt> fromWord(quint32 value);
    // 32-bit words, least significant first.
    static std::optional<BigInt> fromWords(const quint32* words, std::size_t count);
    // Magnitude as little-endian bytes.
    static std::optional<BigInt> fromLittleEndian(QByteArrayView bytes);

    // The magnitude as words, least significant first, without leading zero words.
    std::vector<quint32> toWords() const;
    // The magnitude as exactly `width` little-endian bytes; nullopt when it does not fit.
    std::optional<QByteArray> toLittleEndian(qsizetype width) const;

    bool isValid() const { return value_ != nullptr; }
    bool isZero() const;
    bool isOdd() const;
    bool isNegative() const;
    int numBits() const; // significant bits of the magnitude
    int numBytes() const;

    bool bit(int index) const;
    bool setBit(int index);
    bool clearBit(int index);

    // <0, 0, >0 like strcmp.
    static int compare(const BigInt& a, const BigInt& b);
    static int compareMagnitude(const BigInt& a, const BigInt& b);
    friend bool operator==(const BigInt& a, const BigInt& b) { return compare(a, b) == 0; }
    friend bool operator!=(const BigInt& a, const BigInt& b) { return compare(a, b) != 0; }
    friend bool operator<(const BigInt& a, const BigInt& b) { return compare(a, b) < 0; }
    friend bool operator<=(const BigInt& a, const BigInt& b) { return compare(a, b) <= 0; }
    friend bool operator>(const BigInt& a, const BigInt& b) { return compare(a, b) > 0; }
    friend bool operator>=(const BigInt& a, const BigInt& b) { return compare(a, b) >= 0; }

    static std::optional<BigInt> add(const BigInt& a, const BigInt& b);
    static std::optional<BigInt> subtract(const BigInt& a, const BigInt& b);
    static std::optional<BigInt> multiply(const BigInt& a, const BigInt& b);
    // a * b keeping only the low `bits` bits of the magnitude.
    static std::optional<BigInt> multiplyLow(const BigInt& a, const BigInt& b, int bits);
    // Truncating division: a = quotient * b + remainder, remainder with the sign of a.
    struct Division;
    static std::optional<Division> divide(const BigInt& a, const BigInt& b);
    static std::optional<BigInt> remainder(const BigInt& a, const BigInt& b);
    static std::optional<BigInt> shiftLeftOne(const BigInt& a);
    static std::optional<BigInt> shiftRight(const BigInt& a, int bits);

    // Bitwise operations on the magnitudes; the result is non-negative.
    static std::optional<BigInt> bitwiseAnd(const BigInt& a, const BigInt& b);
    static std::optional<BigInt> bitwiseXor(const BigInt& a, const BigInt& b);
    // Parity of the set bits of (a AND b): true when their count is odd.
    static bool parityOfAnd(const BigInt& a, const BigInt& b);

    // a^-1 mod m by the extended Euclidean algorithm; nullopt when gcd(a, m) != 1.
    static std::optional<BigInt> modInverse(const BigInt& a, const BigInt& m);
    // base^exponent mod modulus in Montgomery form; the modulus must be odd.
    static std::optional<BigInt> modExp(const BigInt& base, const BigInt& exponent, const BigInt& modulus);

    // The RSA private-key operation by the Chinese remainder theorem:
    // m1 = c^dP mod p, m2 = c^dQ mod q, h = qInv (m1 - m2) mod p, m = m2 + h q.
    static std::optional<BigInt> rsaPrivateCrt(const BigInt& c, const BigInt& p, const BigInt& q,
        const BigInt& dP, const BigInt& dQ, const BigInt& qInv);

private:
    friend class MontgomeryContext;
    explicit BigInt(void* raw);
    template <typename Op> static std::optional<BigInt> apply(const BigInt& a, const BigInt& b, Op op);
    void* value_ = nullptr; // BIGNUM*
};

struct BigInt::Division {
    BigInt quotient;
    BigInt remainder;
};

// Montgomery arithmetic modulo a fixed odd modulus.
class MontgomeryContext {
public:
    static std::optional<MontgomeryContext> create(const BigInt& oddModulus);
    ~MontgomeryContext();
    MontgomeryContext(MontgomeryContext&& other) noexcept;
    MontgomeryContext& operator=(MontgomeryContext&& other) noexcept;
    MontgomeryContext(const MontgomeryContext&) = delete;
    MontgomeryContext& operator=(const MontgomeryContext&) = delete;

    std::optional<BigInt> toMontgomery(const BigInt& a) const;
    std::optional<BigInt> fromMontgomery(const BigInt& a) const;
    // a * b * R^-1 mod N for a and b in Montgomery form.
    std::optional<BigInt> multiply(const BigInt& a, const BigInt& b) const;
    std::optional<BigInt> modExp(const BigInt& base, const BigInt& exponent) const;

private:
    MontgomeryContext() = default;
    void* ctx_ = nullptr; // BN_MONT_CTX*
    BigInt modulus_;
};

} // namespace platform
