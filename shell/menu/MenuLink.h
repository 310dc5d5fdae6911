#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// The menu link grammar: a function name, then optionally "?" and parameters
// joined by "&", each a key, "=" and a value ("tradequery?tc_mfuncno=500&...").
// Links come from the server: they are only taken apart here, never run.

// getUrlFunctionString: the text before the first "?" (all of it without one).
QString getUrlFunctionString(const QString& link);
// getUrlParamString: the text after the first "?" ("" without one).
QString getUrlParamString(const QString& link);

// The key of analyzeUrlAndSymbolByKeys's answer that holds the parts nobody
// asked for, joined by "&" in their order.
inline constexpr char kOtherUrlKey[] = "otherUrl";

// analyzeUrlAndSymbolByKeys: on a parameter text, the value of each asked key
// found (names compared lower-cased and trimmed of blanks and tabs, values
// kept as sent), under the key as the caller spelled it, plus "otherUrl".
// A part with a second "=" is dropped; a later part with the same name wins.
// nullopt when no key is given.
std::optional<QMap<QString, QString>> analyzeUrlAndSymbolByKeys(
    const QString& paramString, const QStringList& keys);
