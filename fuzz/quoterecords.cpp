// Quote replies into records and the security's texts: the first byte picks
// the encoding, the rest is a reply payload that is read as a five-level
// quote, a time-sharing day and index rows, then filed into a security whose
// every text is made.
#include "comm/VEKTCRS.h"
#include "quotes/requests/QuoteRecords.h"
#include "trading/security/Security.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qint32 encoding = data[0] % 4;
    std::vector<VEKTCRS> sets = VEKTCRS::constructMRWithBytes(
        reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1), encoding);
    if (sets.empty())
        return 0;
    const RDOQuotesOf5Level quote(&sets.front());
    const RDOStock day(sets);
    for (qint32 row = 0; row < std::min(sets.front().rowsAffected(), 50); ++row) {
        sets.front().moveTo(row);
        const RDOIndexInfo index(&sets.front());
        (void)index.dealAmountText;
    }
    Bond bond;
    Stock stock;
    for (Security* s : { static_cast<Security*>(&bond), static_cast<Security*>(&stock) }) {
        s->setQuotesOf5Level(quote);
        s->setTimesharingInfo(day);
        for (int level = 1; level <= 5; ++level) {
            (void)s->buyPriceText(level);
            (void)s->sellQuantityText(level);
            (void)s->buyPriceTextColor(level);
        }
        (void)s->lastPriceText();
        (void)s->amountOfUpdownText();
        (void)s->maxPriceText();
        (void)s->minPriceText();
        (void)s->maxVolumeText();
        (void)s->halfOfMaxVolumeText();
        (void)s->timeText();
        (void)s->recentQuantity();
        (void)s->defaultBuyPrice();
        for (quint64 index : { quint64(0), quint64(245), quint64(329) }) {
            (void)s->getTimeTextWithIndex(index);
            (void)s->selectedTimeQuantityText(index);
            (void)s->selectedTimePriceTextColor(index);
        }
    }
    return 0;
}
