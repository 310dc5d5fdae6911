// The property-list reader; whatever it accepts must write and read back.
#include "platform/PropertyList.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto value = platform::PropertyList::read(bytes);
    if (!value)
        return 0;
    const QByteArray written = platform::PropertyList::write(*value);
    if (written.isEmpty())
        return 0;
    const auto again = platform::PropertyList::read(written);
    if (!again || platform::PropertyList::write(*again) != written)
        std::abort();
    return 0;
}
