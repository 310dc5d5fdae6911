// Reading a large reply: 10,000 rows of 20 fields (GB 18030 texts and
// numbers of types 4, 5, 7 and 9), against a plain copy of the same bytes.
// Reading every cell by name as text is measured against reading the reply
// into record sets ("ratio_to_sets", goal at most 8): cell by cell into the
// reader's one text, row by row with the names looked up once per column,
// and into a new text a cell. Beside them, the floor of the formatting
// alone: the same values from plain arrays through the standard library's
// own conversions, with no record set and no text to fill.
#include "comm/recordset/VEKTCRS.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <charconv>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 10000;
constexpr int kFields = 20;

const QByteArray& reply()
{
    static const QByteArray bytes = [] {
        static const qint32 types[] = { 4, 5, 7, 9 };
        VEKTCRS set;
        for (int f = 0; f < kFields; ++f) {
            TCRSField field {};
            field.type = types[f % 4];
            std::snprintf(field.name, sizeof field.name, "field_%02d", f);
            set.addField(field);
        }
        for (int r = 0; r < kRows; ++r) {
            set.appendRecord();
            for (int f = 0; f < kFields; ++f) {
                switch (types[f % 4]) {
                case 4:
                    set.updateFieldWithInt(f, r * 7 + f);
                    break;
                case 5:
                    set.updateFieldWithInt64(f, (qint64(r) << 33) + f);
                    break;
                case 7:
                    set.updateFieldWithDouble(f, r * 0.01 + f);
                    break;
                default:
                    set.updateFieldWithString(f,
                        (f % 8 == 3) ? QString::fromUtf8("浦发银行%1").arg(r)
                                     : QStringLiteral("60%1").arg(r, 4, 10, QLatin1Char('0')));
                }
            }
        }
        set.setOkInfo();
        return set.exportData();
    }();
    return bytes;
}

using Clock = std::chrono::steady_clock;
double setsSeconds = 0; // a reading into record sets, from its run

double secondsPerIteration(Clock::time_point start, const benchmark::State& state)
{
    return std::chrono::duration<double>(Clock::now() - start).count() / double(state.iterations());
}

// What every reading of the cells reports: its time against the sets' and
// the cells it read a second.
void reportCells(benchmark::State& state, Clock::time_point start)
{
    if (setsSeconds > 0)
        state.counters["ratio_to_sets"] = secondsPerIteration(start, state) / setsSeconds;
    state.counters["cells/s"]
        = benchmark::Counter(double(kRows) * kFields, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_constructMRWithBytes(benchmark::State& state)
{
    const QByteArray& bytes = reply();
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        auto sets = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0);
        benchmark::DoNotOptimize(sets.data());
    }
    setsSeconds = secondsPerIteration(start, state);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_constructMRWithBytes);

// Every cell of every row read by name as text, the names made once per
// column; `read` reads one cell into `text` and answers its length.
template <class Read> void readEveryCell(benchmark::State& state, Read read)
{
    const QByteArray& bytes = reply();
    VEKTCRS set = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0).at(0);
    QStringList names;
    for (int f = 0; f < kFields; ++f)
        names << set.fieldNameAtIndex(f);
    QString text;
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        qsizetype total = 0;
        for (bool ok = set.fetchFirst(); ok; ok = set.fetchNext())
            for (const QString& name : names)
                total += read(set, name, text);
        benchmark::DoNotOptimize(total);
    }
    reportCells(state, start);
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// Into the reader's one text, whose buffer serves cell after cell.
void BM_toStringWithName(benchmark::State& state)
{
    readEveryCell(state, [](const VEKTCRS& set, const QString& name, QString& text) {
        set.readStringWithName(name, text);
        return text.size();
    });
}
BENCHMARK(BM_toStringWithName);

// Record after record, each field into its own text, the names looked up once
// per column: how a table reads a reply.
void BM_readStringsAtIndexes(benchmark::State& state)
{
    const QByteArray& bytes = reply();
    VEKTCRS set = VEKTCRS::constructMRWithBytes(bytes.constData(), bytes.size(), 0).at(0);
    std::vector<qint32> indexes;
    for (int f = 0; f < kFields; ++f)
        indexes.push_back(set.indexOfFieldWithName(QStringLiteral("field_%1").arg(f, 2, 10, QLatin1Char('0'))));
    std::vector<QString> texts(kFields);
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        qsizetype total = 0;
        for (bool ok = set.fetchFirst(); ok; ok = set.fetchNext()) {
            set.readStringsAtIndexes(indexes, texts);
            total += texts[0].size();
        }
        benchmark::DoNotOptimize(total);
    }
    reportCells(state, start);
}
BENCHMARK(BM_readStringsAtIndexes);

// A new text for every cell, as a reader that keeps every cell's text must make.
void BM_toStringWithName_newText(benchmark::State& state)
{
    readEveryCell(state,
        [](const VEKTCRS& set, const QString& name, QString&) { return set.toStringWithName(name).size(); });
}
BENCHMARK(BM_toStringWithName_newText);

// A new text for every cell, each name given as the Latin-1 bytes a record's
// table of fields holds, as the records read their fields.
void BM_toStringWithName_latin1Names(benchmark::State& state)
{
    QList<QByteArray> latin1;
    for (int f = 0; f < kFields; ++f)
        latin1 << QByteArray("field_") + QByteArray::number(f).rightJustified(2, '0');
    readEveryCell(state, [&latin1, f = 0](const VEKTCRS& set, const QString&, QString&) mutable {
        const qsizetype size = set.toStringWithName(QLatin1StringView(latin1[f])).size();
        f = (f + 1) % kFields;
        return size;
    });
}
BENCHMARK(BM_toStringWithName_latin1Names);

// The values of the reply's cells in plain arrays, texts already decoded.
void BM_standardFormattingFloor(benchmark::State& state)
{
    std::vector<qint32> ints;
    std::vector<qint64> longs;
    std::vector<double> doubles;
    std::vector<std::u16string> texts;
    for (int r = 0; r < kRows; ++r) {
        for (int f = 0; f < kFields; ++f) {
            switch (f % 4) {
            case 0:
                ints.push_back(r * 7 + f);
                break;
            case 1:
                longs.push_back((qint64(r) << 33) + f);
                break;
            case 2:
                doubles.push_back(r * 0.01 + f);
                break;
            default: {
                const QString text = (f % 8 == 3) ? QString::fromUtf8("浦发银行%1").arg(r)
                                                  : QStringLiteral("60%1").arg(r, 4, 10, QLatin1Char('0'));
                texts.emplace_back(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
            }
            }
        }
    }
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        char buffer[64];
        char16_t units[64];
        qsizetype total = 0;
        for (qint32 v : ints)
            total += std::to_chars(buffer, buffer + sizeof buffer, v).ptr - buffer;
        for (qint64 v : longs)
            total += std::to_chars(buffer, buffer + sizeof buffer, v).ptr - buffer;
        for (double v : doubles)
            total += std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 3).ptr - buffer;
        for (const std::u16string& text : texts) {
            std::memcpy(units, text.data(), text.size() * sizeof(char16_t));
            benchmark::DoNotOptimize(units);
            total += qsizetype(text.size());
        }
        benchmark::DoNotOptimize(total);
    }
    reportCells(state, start);
}
BENCHMARK(BM_standardFormattingFloor);

void BM_memcpy(benchmark::State& state)
{
    const QByteArray& bytes = reply();
    std::vector<char> target(static_cast<size_t>(bytes.size()));
    for (auto _ : state) {
        std::memcpy(target.data(), bytes.constData(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_memcpy);

} // namespace

BENCHMARK_MAIN();
