#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The common request prefix: pairs of key, "=" and value joined by "&". It is
// read and edited pair by pair, keys compared whole, so one pair's rewrite
// never touches another and "trdpwd2" is not "trdpwd".
namespace commonurl {

// The value of the last pair with the key; nullopt when there is none.
std::optional<QString> lastValue(const QString& prefix, const QString& key);
// The value of the first pair with the key; nullopt when there is none.
std::optional<QString> firstValue(const QString& prefix, const QString& key);
// Whether the prefix holds a pair with the key.
bool hasKey(const QString& prefix, const QString& key);
// The prefix with the value of every pair with the key replaced; every other
// pair is kept as it was, in place.
QString withValue(const QString& prefix, const QString& key, const QString& value);
// Whether a text may stand as a value: printable ASCII without "&" and "=".
bool isSafeValue(const QString& value);

} // namespace commonurl
