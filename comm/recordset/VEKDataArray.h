#pragma once

#include <QtGlobal>
#include <cstdint>
#include <vector>

// A growable array of fixed-size items, stored back to back. The storage is
// zero-filled when made or grown; its length is the capacity in bytes.
class VEKDataArray {
public:
    // No array ever holds more than this many bytes of items, so a size taken
    // from the network can never make it allocate without bound.
    static constexpr quint64 kMaxBytes = 16 * 1024 * 1024;
    static constexpr quint64 kDefaultCapacity = 64;

    // initWithCount:objCType: -- storage for `count` items of `itemSize` bytes.
    VEKDataArray(quint64 count, quint64 itemSize);
    static VEKDataArray initWithCount(quint64 count, quint64 itemSize)
    {
        return VEKDataArray(count, itemSize);
    }
    // initWithObjCType: -- room for 64 items.
    static VEKDataArray initWithObjCType(quint64 itemSize)
    {
        return VEKDataArray(kDefaultCapacity, itemSize);
    }

    VEKDataArray(const VEKDataArray&) = default;
    VEKDataArray& operator=(const VEKDataArray&) = default;
    // A moved-from array is empty and usable.
    VEKDataArray(VEKDataArray&& other) noexcept;
    VEKDataArray& operator=(VEKDataArray&& other) noexcept;

    quint64 itemSize() const { return nItemSize; }
    quint64 count() const { return mCount; }
    quint64 capacityBytes() const { return _buffer.size(); }
    quint64 sizeInBytes() const { return mCount * nItemSize; }
    uint8_t* base() { return _buffer.data(); }
    const uint8_t* base() const { return _buffer.data(); }

    // Count 0; the storage stays allocated.
    void reset() { mCount = 0; }
    // Sets the count to n, growing the storage when needed; nullptr (and
    // nothing changed) when n items would pass kMaxBytes.
    uint8_t* resetCount(quint64 n);
    // Start of item i; nullptr when i is not below the count.
    uint8_t* objCAtIndex(quint64 i) { return i < mCount ? _buffer.data() + i * nItemSize : nullptr; }
    const uint8_t* objCAtIndex(quint64 i) const
    {
        return i < mCount ? _buffer.data() + i * nItemSize : nullptr;
    }
    // Appends n items copied from `bytes`; false (nothing appended) when the
    // array would pass kMaxBytes. n = 0 does nothing.
    bool appendBytes(const void* bytes, quint64 n);
    bool appendData(const void* item) { return appendBytes(item, 1); }
    void removeobjCAtIndex(quint64 i) { removeobjCInRange(i, 1); }
    void removeobjCInRange(quint64 location, quint64 length);
    VEKDataArray copyWithZone() const { return *this; }

private:
    bool ensureCapacity(quint64 needed, quint64 added);

    std::vector<uint8_t> _buffer;
    quint64 mCount = 0;
    quint64 nItemSize = 1;
};
