#include "platform/CryptoBigInt.h"

#include <algorithm>
#include <bit>

#include <climits>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <utility>

namespace platform {
namespace {

struct CtxFree {
    void operator()(BN_CTX* ctx) const { BN_CTX_free(ctx); }
};
using Ctx = std::unique_ptr<BN_CTX, CtxFree>;

const BIGNUM* bn(const void* raw)
{
    return static_cast<const BIGNUM*>(raw);
}

// Failures of BN leave entries in the thread's error queue; clear them so
// that a later TLS error report is not polluted by our arithmetic.
std::nullopt_t fail()
{
    ERR_clear_error();
    return std::nullopt;
}

} // namespace

BigInt::BigInt()
    : value_(BN_new())
{
}

BigInt::BigInt(void* raw)
    : value_(raw)
{
}

BigInt::~BigInt()
{
    BN_clear_free(static_cast<BIGNUM*>(value_));
}

BigInt::BigInt(const BigInt& other)
    : value_(other.value_ ? BN_dup(bn(other.value_)) : nullptr)
{
}

BigInt& BigInt::operator=(const BigInt& other)
{
    if (this != &other) {
        BigInt copy(other);
        std::swap(value_, copy.value_);
    }
    return *this;
}

BigInt::BigInt(BigInt&& other) noexcept
    : value_(std::exchange(other.value_, nullptr))
{
}

BigInt& BigInt::operator=(BigInt&& other) noexcept
{
    std::swap(value_, other.value_);
    return *this;
}

std::optional<BigInt> BigInt::fromWord(quint32 value)
{
    BigInt r;
    if (!r.value_ || BN_set_word(static_cast<BIGNUM*>(r.value_), value) != 1)
        return fail();
    return r;
}

std::optional<BigInt> BigInt::fromWords(const quint32* words, std::size_t count)
{
    if (count > static_cast<std::size_t>(INT_MAX / 4) || (count > 0 && !words))
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(count * 4), Qt::Uninitialized);
    for (std::size_t i = 0; i < count; ++i) {
        for (int b = 0; b < 4; ++b)
            bytes[static_cast<qsizetype>(i * 4 + b)] = static_cast<char>((words[i] >> (8 * b)) & 0xFF);
    }
    return fromLittleEndian(bytes);
}

std::optional<BigInt> BigInt::fromLittleEndian(QByteArrayView bytes)
{
    if (bytes.size() > INT_MAX)
        return std::nullopt;
    BIGNUM* raw = BN_lebin2bn(
        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()), nullptr);
    if (!raw)
        return fail();
    return BigInt(raw);
}

std::vector<quint32> BigInt::toWords() const
{
    const int bytes = numBytes();
    if (bytes == 0)
        return {};
    const int width = (bytes + 3) / 4 * 4;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(width));
    if (BN_bn2lebinpad(bn(value_), buffer.data(), width) != width)
        return {};
    std::vector<quint32> words(static_cast<std::size_t>(width / 4));
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = quint32(buffer[i * 4]) | quint32(buffer[i * 4 + 1]) << 8 | quint32(buffer[i * 4 + 2]) << 16
            | quint32(buffer[i * 4 + 3]) << 24;
    }
    return words;
}

std::optional<QByteArray> BigInt::toLittleEndian(qsizetype width) const
{
    if (!value_ || width < 0 || width > INT_MAX || numBytes() > width)
        return std::nullopt;
    QByteArray out(width, '\0');
    if (width > 0
        && BN_bn2lebinpad(bn(value_), reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(width))
            != width)
        return fail();
    return out;
}

bool BigInt::isZero() const
{
    return !value_ || BN_is_zero(bn(value_));
}
bool BigInt::isOdd() const
{
    return value_ && BN_is_odd(bn(value_));
}
bool BigInt::isNegative() const
{
    return value_ && BN_is_negative(bn(value_));
}
int BigInt::numBits() const
{
    return value_ ? BN_num_bits(bn(value_)) : 0;
}
int BigInt::numBytes() const
{
    return value_ ? BN_num_bytes(bn(value_)) : 0;
}

bool BigInt::bit(int index) const
{
    return value_ && index >= 0 && BN_is_bit_set(bn(value_), index);
}

bool BigInt::setBit(int index)
{
    if (!value_ || index < 0 || BN_set_bit(static_cast<BIGNUM*>(value_), index) != 1) {
        ERR_clear_error();
        return false;
    }
    return true;
}

bool BigInt::clearBit(int index)
{
    if (!value_ || index < 0)
        return false;
    // A bit above the top is already clear; BN reports that as a failure.
    if (index < numBits())
        BN_clear_bit(static_cast<BIGNUM*>(value_), index);
    return true;
}

int BigInt::compare(const BigInt& a, const BigInt& b)
{
    if (!a.value_ || !b.value_)
        return a.isZero() && b.isZero() ? 0 : (a.value_ ? 1 : -1);
    return BN_cmp(bn(a.value_), bn(b.value_));
}

int BigInt::compareMagnitude(const BigInt& a, const BigInt& b)
{
    if (!a.value_ || !b.value_)
        return a.isZero() && b.isZero() ? 0 : (a.value_ ? 1 : -1);
    return BN_ucmp(bn(a.value_), bn(b.value_));
}

// The two-operand operations share one shape: a fresh result, a context,
// the BN call, and the error queue cleared on failure.
template <typename Op> std::optional<BigInt> BigInt::apply(const BigInt& a, const BigInt& b, Op op)
{
    if (!a.value_ || !b.value_)
        return std::nullopt;
    BigInt r;
    Ctx ctx(BN_CTX_new());
    if (!r.value_ || !ctx || !op(static_cast<BIGNUM*>(r.value_), bn(a.value_), bn(b.value_), ctx.get()))
        return fail();
    return r;
}

std::optional<BigInt> BigInt::add(const BigInt& a, const BigInt& b)
{
    return apply(
        a, b, [](BIGNUM* r, const BIGNUM* x, const BIGNUM* y, BN_CTX*) { return BN_add(r, x, y) == 1; });
}

std::optional<BigInt> BigInt::subtract(const BigInt& a, const BigInt& b)
{
    return apply(
        a, b, [](BIGNUM* r, const BIGNUM* x, const BIGNUM* y, BN_CTX*) { return BN_sub(r, x, y) == 1; });
}

std::optional<BigInt> BigInt::multiply(const BigInt& a, const BigInt& b)
{
    return apply(
        a, b, [](BIGNUM* r, const BIGNUM* x, const BIGNUM* y, BN_CTX* c) { return BN_mul(r, x, y, c) == 1; });
}

std::optional<BigInt> BigInt::remainder(const BigInt& a, const BigInt& b)
{
    return apply(a, b, [](BIGNUM* r, const BIGNUM* x, const BIGNUM* y, BN_CTX* c) {
        return BN_div(nullptr, r, x, y, c) == 1;
    });
}

std::optional<BigInt> BigInt::modInverse(const BigInt& a, const BigInt& m)
{
    return apply(a, m, [](BIGNUM* r, const BIGNUM* x, const BIGNUM* y, BN_CTX* c) {
        return BN_mod_inverse(r, x, y, c) != nullptr;
    });
}

std::optional<BigInt> BigInt::multiplyLow(const BigInt& a, const BigInt& b, int bits)
{
    if (bits < 0)
        return std::nullopt;
    auto product = multiply(a, b);
    if (!product)
        return std::nullopt;
    // BN answers 0 when the mask reaches past the top, which leaves the value as it is.
    BN_mask_bits(static_cast<BIGNUM*>(product->value_), bits);
    return product;
}

std::optional<BigInt::Division> BigInt::divide(const BigInt& a, const BigInt& b)
{
    if (!a.value_ || !b.value_)
        return std::nullopt;
    Division d;
    Ctx ctx(BN_CTX_new());
    if (!d.quotient.value_ || !d.remainder.value_ || !ctx)
        return fail();
    if (BN_div(static_cast<BIGNUM*>(d.quotient.value_), static_cast<BIGNUM*>(d.remainder.value_),
            bn(a.value_), bn(b.value_), ctx.get())
        != 1)
        return fail();
    return d;
}

std::optional<BigInt> BigInt::shiftLeftOne(const BigInt& a)
{
    BigInt r;
    if (!a.value_ || !r.value_ || BN_lshift1(static_cast<BIGNUM*>(r.value_), bn(a.value_)) != 1)
        return fail();
    return r;
}

std::optional<BigInt> BigInt::shiftRight(const BigInt& a, int bits)
{
    BigInt r;
    if (!a.value_ || !r.value_ || bits < 0
        || BN_rshift(static_cast<BIGNUM*>(r.value_), bn(a.value_), bits) != 1)
        return fail();
    return r;
}

std::optional<BigInt> BigInt::modExp(const BigInt& base, const BigInt& exponent, const BigInt& modulus)
{
    if (!base.value_ || !exponent.value_ || !modulus.value_ || exponent.isNegative() || !modulus.isOdd()
        || modulus.isNegative())
        return std::nullopt;
    BigInt r;
    Ctx ctx(BN_CTX_new());
    if (!r.value_ || !ctx
        || BN_mod_exp_mont(static_cast<BIGNUM*>(r.value_), bn(base.value_), bn(exponent.value_),
               bn(modulus.value_), ctx.get(), nullptr)
            != 1)
        return fail();
    return r;
}

std::optional<BigInt> BigInt::rsaPrivateCrt(
    const BigInt& c, const BigInt& p, const BigInt& q, const BigInt& dP, const BigInt& dQ, const BigInt& qInv)
{
    for (const BigInt* v : { &c, &p, &q, &dP, &dQ, &qInv }) {
        if (!v->value_ || v->isNegative())
            return std::nullopt;
    }
    if (!p.isOdd() || !q.isOdd())
        return std::nullopt;
    Ctx ctx(BN_CTX_new());
    BigInt cp, cq, m1, m2, h, m;
    if (!ctx || !cp.value_ || !cq.value_ || !m1.value_ || !m2.value_ || !h.value_ || !m.value_)
        return fail();
    auto* CP = static_cast<BIGNUM*>(cp.value_);
    auto* CQ = static_cast<BIGNUM*>(cq.value_);
    auto* M1 = static_cast<BIGNUM*>(m1.value_);
    auto* M2 = static_cast<BIGNUM*>(m2.value_);
    auto* H = static_cast<BIGNUM*>(h.value_);
    auto* M = static_cast<BIGNUM*>(m.value_);
    const bool ok = BN_nnmod(CP, bn(c.value_), bn(p.value_), ctx.get()) == 1
        && BN_nnmod(CQ, bn(c.value_), bn(q.value_), ctx.get()) == 1
        && BN_mod_exp_mont_consttime(M1, CP, bn(dP.value_), bn(p.value_), ctx.get(), nullptr) == 1
        && BN_mod_exp_mont_consttime(M2, CQ, bn(dQ.value_), bn(q.value_), ctx.get(), nullptr) == 1
        && BN_mod_sub(H, M1, M2, bn(p.value_), ctx.get()) == 1
        && BN_mod_mul(H, H, bn(qInv.value_), bn(p.value_), ctx.get()) == 1
        && BN_mul(M, H, bn(q.value_), ctx.get()) == 1 && BN_add(M, M, M2) == 1;
    if (!ok)
        return fail();
    return m;
}

std::optional<MontgomeryContext> MontgomeryContext::create(const BigInt& oddModulus)
{
    if (!oddModulus.value_ || !oddModulus.isOdd() || oddModulus.isNegative())
        return std::nullopt;
    MontgomeryContext m;
    m.modulus_ = oddModulus;
    Ctx ctx(BN_CTX_new());
    m.ctx_ = BN_MONT_CTX_new();
    if (!ctx || !m.ctx_ || !m.modulus_.value_
        || BN_MONT_CTX_set(static_cast<BN_MONT_CTX*>(m.ctx_), bn(m.modulus_.value_), ctx.get()) != 1)
        return fail();
    return m;
}

MontgomeryContext::~MontgomeryContext()
{
    BN_MONT_CTX_free(static_cast<BN_MONT_CTX*>(ctx_));
}

MontgomeryContext::MontgomeryContext(MontgomeryContext&& other) noexcept
    : ctx_(std::exchange(other.ctx_, nullptr))
    , modulus_(std::move(other.modulus_))
{
}

MontgomeryContext& MontgomeryContext::operator=(MontgomeryContext&& other) noexcept
{
    std::swap(ctx_, other.ctx_);
    std::swap(modulus_, other.modulus_);
    return *this;
}

std::optional<BigInt> MontgomeryContext::toMontgomery(const BigInt& a) const
{
    BigInt reduced, r;
    Ctx ctx(BN_CTX_new());
    if (!ctx_ || !a.value_ || !reduced.value_ || !r.value_ || !ctx
        || BN_nnmod(static_cast<BIGNUM*>(reduced.value_), bn(a.value_), bn(modulus_.value_), ctx.get()) != 1
        || BN_to_montgomery(
               static_cast<BIGNUM*>(r.value_), bn(reduced.value_), static_cast<BN_MONT_CTX*>(ctx_), ctx.get())
            != 1)
        return fail();
    return r;
}

std::optional<BigInt> MontgomeryContext::fromMontgomery(const BigInt& a) const
{
    BigInt r;
    Ctx ctx(BN_CTX_new());
    if (!ctx_ || !a.value_ || !r.value_ || !ctx || a.isNegative() || a >= modulus_
        || BN_from_montgomery(
               static_cast<BIGNUM*>(r.value_), bn(a.value_), static_cast<BN_MONT_CTX*>(ctx_), ctx.get())
            != 1)
        return fail();
    return r;
}

std::optional<BigInt> MontgomeryContext::multiply(const BigInt& a, const BigInt& b) const
{
    BigInt r;
    Ctx ctx(BN_CTX_new());
    // Both factors must already be reduced modulo N.
    if (!ctx_ || !a.value_ || !b.value_ || !r.value_ || !ctx || a.isNegative() || b.isNegative()
        || a >= modulus_ || b >= modulus_
        || BN_mod_mul_montgomery(static_cast<BIGNUM*>(r.value_), bn(a.value_), bn(b.value_),
               static_cast<BN_MONT_CTX*>(ctx_), ctx.get())
            != 1)
        return fail();
    return r;
}

std::optional<BigInt> MontgomeryContext::modExp(const BigInt& base, const BigInt& exponent) const
{
    BigInt r;
    Ctx ctx(BN_CTX_new());
    if (!ctx_ || !base.value_ || !exponent.value_ || exponent.isNegative() || !r.value_ || !ctx
        || BN_mod_exp_mont(static_cast<BIGNUM*>(r.value_), bn(base.value_), bn(exponent.value_),
               bn(modulus_.value_), ctx.get(), static_cast<BN_MONT_CTX*>(ctx_))
            != 1)
        return fail();
    return r;
}

namespace {

template <typename Op>
std::vector<quint32> combineWords(const BigInt& a, const BigInt& b, Op op)
{
    std::vector<quint32> x = a.toWords();
    std::vector<quint32> y = b.toWords();
    const std::size_t n = std::max(x.size(), y.size());
    x.resize(n, 0);
    y.resize(n, 0);
    std::vector<quint32> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = op(x[i], y[i]);
    return out;
}

} // namespace

std::optional<BigInt> BigInt::bitwiseAnd(const BigInt& a, const BigInt& b)
{
    const std::vector<quint32> w = combineWords(a, b, [](quint32 x, quint32 y) { return x & y; });
    return fromWords(w.data(), w.size());
}

std::optional<BigInt> BigInt::bitwiseXor(const BigInt& a, const BigInt& b)
{
    const std::vector<quint32> w = combineWords(a, b, [](quint32 x, quint32 y) { return x ^ y; });
    return fromWords(w.data(), w.size());
}

bool BigInt::parityOfAnd(const BigInt& a, const BigInt& b)
{
    quint32 folded = 0;
    for (quint32 w : combineWords(a, b, [](quint32 x, quint32 y) { return x & y; }))
        folded ^= w;
    return (std::popcount(folded) & 1) != 0;
}

} // namespace platform
