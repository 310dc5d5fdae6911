// The TC frame reader cutting 100,000 replies of 16 B to 8 KiB out of one
// stream fed in 4 KiB pieces, as a socket delivers them, beside a plain memcpy
// of the same bytes.
#include "support/EchoContextDelegate.h"
#include "comm/transport/VEKTCConnectionContext.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kReplies = 100000;
constexpr qsizetype kChunk = 4096;

using Delegate = testsupport::EchoContextDelegate;

// Sizes spread evenly over the powers of two between 16 B and 8 KiB, so small
// and large replies both count.
const QByteArray& stream()
{
    static const QByteArray bytes = [] {
        std::mt19937 random(20240601);
        std::uniform_real_distribution<double> exponent(4.0, 13.0);
        QByteArray out;
        for (int i = 0; i < kReplies; ++i) {
            const qsizetype size = qsizetype(std::pow(2.0, exponent(random)));
            QByteArray payload(size, Qt::Uninitialized);
            for (qsizetype j = 0; j < size; ++j)
                payload[j] = char(random());
            out += *VEKTCConnectionContext::replyFrame({ 0, i + 1, false, false }, payload);
        }
        return out;
    }();
    return bytes;
}

void TCFrameReader(benchmark::State& state)
{
    const QByteArray& bytes = stream();
    Delegate delegate;
    for (auto _ : state) {
        VEKTCConnectionContext context(&delegate);
        int replies = 0;
        for (qsizetype at = 0; at < bytes.size(); at += kChunk) {
            context.receiveData(QByteArrayView(bytes).sliced(at, std::min(kChunk, bytes.size() - at)));
            while (auto response = context.readPacketAvailable()) {
                benchmark::DoNotOptimize(response->data().constData());
                ++replies;
            }
        }
        if (replies != kReplies)
            state.SkipWithError("replies lost");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    state.counters["replies/s"]
        = benchmark::Counter(double(kReplies), benchmark::Counter::kIsIterationInvariantRate);
}

void Memcpy(benchmark::State& state)
{
    const QByteArray& bytes = stream();
    std::vector<char> target(size_t(bytes.size()));
    for (auto _ : state) {
        std::memcpy(target.data(), bytes.constData(), size_t(bytes.size()));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

BENCHMARK(TCFrameReader)->Unit(benchmark::kMillisecond);
BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
