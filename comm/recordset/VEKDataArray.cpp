#include "comm/recordset/VEKDataArray.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

VEKDataArray::VEKDataArray(quint64 count, quint64 itemSize)
    : nItemSize(std::max<quint64>(itemSize, 1))
{
    const quint64 maxItems = kMaxBytes / nItemSize;
    _buffer.resize(std::clamp<quint64>(count, 1, maxItems) * nItemSize);
}

VEKDataArray::VEKDataArray(VEKDataArray&& other) noexcept
    : _buffer(std::move(other._buffer))
    , mCount(std::exchange(other.mCount, 0))
    , nItemSize(other.nItemSize)
{
    other._buffer.clear();
}

VEKDataArray& VEKDataArray::operator=(VEKDataArray&& other) noexcept
{
    if (this != &other) {
        _buffer = std::move(other._buffer);
        other._buffer.clear();
        mCount = std::exchange(other.mCount, 0);
        nItemSize = other.nItemSize;
    }
    return *this;
}

bool VEKDataArray::ensureCapacity(quint64 needed, quint64 added)
{
    if (needed > kMaxBytes)
        return false;
    if (needed <= _buffer.size())
        return true;
    // Grow by the current length plus what is added, as far as the cap allows.
    const quint64 grown = std::min<quint64>(2 * _buffer.size() + added, kMaxBytes);
    _buffer.resize(std::max(grown, needed));
    return true;
}

uint8_t* VEKDataArray::resetCount(quint64 n)
{
    if (n > kMaxBytes / nItemSize)
        return nullptr;
    // At least one item of storage, so that the start is never null.
    const quint64 bytes = std::max(n, quint64(1)) * nItemSize;
    if (bytes > _buffer.size() && !ensureCapacity(bytes, bytes - _buffer.size()))
        return nullptr;
    mCount = n;
    return _buffer.data();
}

bool VEKDataArray::appendBytes(const void* bytes, quint64 n)
{
    if (n == 0)
        return true;
    if (!bytes || n > kMaxBytes / nItemSize || mCount + n > kMaxBytes / nItemSize)
        return false;
    const quint64 used = mCount * nItemSize;
    const quint64 added = n * nItemSize;
    // The source may lie in our own storage, which growing would move.
    std::vector<uint8_t> own;
    const auto* src = static_cast<const uint8_t*>(bytes);
    const auto at = reinterpret_cast<std::uintptr_t>(src);
    const auto start = reinterpret_cast<std::uintptr_t>(_buffer.data());
    if (!_buffer.empty() && at >= start && at < start + _buffer.size()) {
        own.assign(src, src + added);
        src = own.data();
    }
    if (!ensureCapacity(used + added, added))
        return false;
    std::memcpy(_buffer.data() + used, src, added);
    mCount += n;
    return true;
}

void VEKDataArray::removeobjCInRange(quint64 location, quint64 length)
{
    if (location >= mCount || length == 0)
        return;
    length = std::min(length, mCount - location);
    uint8_t* start = _buffer.data() + location * nItemSize;
    const quint64 tail = (mCount - location - length) * nItemSize;
    std::memmove(start, start + length * nItemSize, tail);
    mCount -= length;
}
