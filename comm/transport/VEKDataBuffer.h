#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// A byte buffer with a logical length inside a larger allocation, so that
// frames can be built and cut in place without reallocating per byte.
class VEKDataBuffer {
public:
    // No buffer ever holds more than this; appends beyond it are refused.
    static constexpr qsizetype kMaxLength = qsizetype(256) * 1024 * 1024;

    explicit VEKDataBuffer(qsizetype capacity = 0); // initWithCapacity:

    qsizetype length() const { return length_; }
    qsizetype capacity() const { return storage_.size(); }
    char* base() { return storage_.data(); }
    const char* base() const { return storage_.constData(); }
    QByteArrayView bytes() const { return QByteArrayView(storage_.constData(), length_); }

    // False (and nothing appended) when the result would pass kMaxLength.
    bool appendBytes(const void* bytes, qsizetype length);
    bool appendData(QByteArrayView data) { return appendBytes(data.data(), data.size()); }

    // Takes min(count, length - location) bytes out of the buffer and gives a
    // copy of them; nullopt when the location is at or past the length.
    std::optional<QByteArray> detachmentByteInRange(qsizetype location, qsizetype count);
    // Drops the first `count` bytes (all when count passes the length).
    void removeFront(qsizetype count);

    char* reset();
    // Sets the length to n (growing the allocation when needed); nullptr and no
    // change when n is negative or above kMaxLength.
    char* resetLength(qsizetype n);

private:
    bool reserveFor(qsizetype required);

    QByteArray storage_; // its size is the allocation
    qsizetype length_ = 0;
};
