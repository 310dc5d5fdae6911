// Decoding quote replies into records: a full day of time-sharing (330
// minutes, the Stock Connect layout) and a five-level quote, from the bytes
// of the reply to the records a page reads; and filing them into a Security.
#include "comm/VEKTCRS.h"
#include "quotes/requests/QuoteRecords.h"
#include "tools/broker-sim/Market.h"
#include "trading/security/Security.h"

#include <benchmark/benchmark.h>

namespace {

constexpr qint32 kEncoding = 2; // UTF-8

brokersim::Market& market()
{
    static brokersim::Market m;
    return m;
}

const QByteArray& timesharingReply()
{
    static const QByteArray bytes = [] {
        brokersim::MarketSecurity& s = *market().security(QStringLiteral("00700"));
        s.cursor = qsizetype(s.minutes.size()) - 1;
        return brokersim::encodeTables(market().timesharing(s), kEncoding).value();
    }();
    return bytes;
}

const QByteArray& fiveLevelReply()
{
    static const QByteArray bytes = [] {
        return brokersim::encodeTables({ market().quote5Level(*market().security(QStringLiteral("600000"))) },
            kEncoding)
            .value();
    }();
    return bytes;
}

void BM_TimesharingDayToRecord(benchmark::State& state)
{
    const QByteArray& bytes = timesharingReply();
    for (auto _ : state) {
        const std::vector<VEKTCRS> sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), kEncoding);
        const RDOStock day(sets);
        if (!day.timesharingInfoArray || day.timesharingInfoArray->size() != 330)
            state.SkipWithError("not a full day");
        benchmark::DoNotOptimize(day);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_TimesharingDayToRecord);

void BM_FiveLevelToRecord(benchmark::State& state)
{
    const QByteArray& bytes = fiveLevelReply();
    for (auto _ : state) {
        const std::vector<VEKTCRS> sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), kEncoding);
        const RDOQuotesOf5Level quote(&sets.front());
        benchmark::DoNotOptimize(quote);
    }
}
BENCHMARK(BM_FiveLevelToRecord);

void BM_FileDayIntoSecurity(benchmark::State& state)
{
    const QByteArray& bytes = timesharingReply();
    const RDOStock day(VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), kEncoding));
    HStock security;
    for (auto _ : state) {
        security.setTimesharingInfo(day);
        benchmark::DoNotOptimize(security.maxVolumeText());
    }
}
BENCHMARK(BM_FileDayIntoSecurity);

} // namespace

BENCHMARK_MAIN();
