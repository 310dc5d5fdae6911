#include "comm/transport/VEKDataBuffer.h"

#include <algorithm>
#include <cstring>

VEKDataBuffer::VEKDataBuffer(qsizetype capacity)
    : storage_(std::clamp<qsizetype>(capacity, 0, kMaxLength), Qt::Uninitialized)
{
}

bool VEKDataBuffer::reserveFor(qsizetype required)
{
    if (required < 0 || required > kMaxLength)
        return false;
    if (required <= storage_.size())
        return true;
    // Grow by the new length at once, so appending n bytes at a time stays linear.
    const qsizetype grown = std::min(storage_.size() + required, kMaxLength);
    storage_.resize(std::max(grown, required));
    return true;
}

bool VEKDataBuffer::appendBytes(const void* bytes, qsizetype length)
{
    if (length < 0 || length > kMaxLength - length_)
        return false;
    if (length == 0)
        return true;
    // Bytes from inside this buffer would move when it grows: note their offset.
    const char* source = static_cast<const char*>(bytes);
    const bool inside = source >= storage_.constData() && source < storage_.constData() + storage_.size();
    const qsizetype offset = inside ? source - storage_.constData() : 0;
    if (!reserveFor(length_ + length))
        return false;
    if (inside)
        source = storage_.constData() + offset;
    std::memmove(storage_.data() + length_, source, size_t(length));
    length_ += length;
    return true;
}

std::optional<QByteArray> VEKDataBuffer::detachmentByteInRange(qsizetype location, qsizetype count)
{
    if (location < 0 || location >= length_ || count < 0)
        return std::nullopt;
    const qsizetype taken = std::min(count, length_ - location);
    QByteArray out(storage_.constData() + location, taken);
    char* start = storage_.data() + location;
    std::memmove(start, start + taken, size_t(length_ - location - taken));
    length_ -= taken;
    return out;
}

void VEKDataBuffer::removeFront(qsizetype count)
{
    if (count <= 0)
        return;
    if (count >= length_) {
        length_ = 0;
        return;
    }
    std::memmove(storage_.data(), storage_.constData() + count, size_t(length_ - count));
    length_ -= count;
}

char* VEKDataBuffer::reset()
{
    length_ = 0;
    return storage_.data();
}

char* VEKDataBuffer::resetLength(qsizetype n)
{
    if (!reserveFor(n))
        return nullptr;
    length_ = n;
    return storage_.data();
}
