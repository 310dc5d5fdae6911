#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// The numeric value of a price text, held exactly with as many decimals as
// the text gives (up to 18): a step of "0.0100" is 0.01, "12.3456" stays
// 12.3456. Sums are exact; only a text meant for the price field rounds.
class PriceValue {
public:
    static constexpr int kMaxDecimals = 18;

    PriceValue() = default;
    // The leading number of the text ("12.3456", " .5", "-2"); a text with
    // no digit at the start is 0, and then `isNumber` is false. Decimals past
    // kMaxDecimals are rounded off; a value past 64 bits saturates.
    static PriceValue of(QStringView text, bool* isNumber = nullptr);

    // The sum, or this value when the sum would not fit.
    PriceValue plus(const PriceValue& other) const;
    PriceValue negated() const { return { -units_, scale_ }; }
    bool isPositive() const { return units_ > 0; }
    bool isNegative() const { return units_ < 0; }

    // Exactly: "12.3456", "0.01", "0".
    QString text() const;
    // Rounded half away from zero to `decimals` decimals, as "%.3f" shows.
    QString text(int decimals) const;

    friend bool operator==(const PriceValue&, const PriceValue&) = default;

private:
    PriceValue(qint64 units, int scale);

    qint64 units_ = 0; // of 10^-scale_, without trailing zeros
    int scale_ = 0;
};
