#pragma once

#include <QString>
#include <initializer_list>
#include <optional>

// Checks of the values a fund request carries, made before a record is
// filled, so a bad value is refused with a message the user understands
// instead of reaching the server. Each answers why the value cannot be
// sent, or nullopt when it can.
namespace fundfields {

// A fund code as typed or picked: its form is the server's to judge, so it
// is refused only when it holds what a body cannot carry (anything but
// printable ASCII, "&", "="); a code too long for its field is refused when
// sent.
std::optional<QString> fundCode(const QString& text);
// The fund company code of a fund record, sent back as the reply gave it
// (empty when no company is known).
std::optional<QString> companyCode(const QString& text);
// An amount of money or a number of shares as the customer typed it: its
// form and its limits are the trade server's to judge, so it is refused only
// when it holds what a body cannot carry (anything but printable ASCII, "&",
// "=").
std::optional<QString> amount(const QString& text);
std::optional<QString> shares(const QString& text);
// A date of eight digits, year, month and day, that exists.
std::optional<QString> date8(const QString& text);
// A date "yyyy-MM-dd" that exists.
std::optional<QString> isoDate(const QString& text);
// A code the server handed out or a choice index: letters, digits, "-" and
// "_", at most `maximum` characters; empty when `emptyAllowed`.
std::optional<QString> token(const QString& what, const QString& text, qsizetype maximum, bool emptyAllowed);

// A value a reply gave, going back as it came: refused only when it holds
// what a body cannot carry (typednumber::canBeSent).
std::optional<QString> asReceived(const QString& what, const QString& text);

// The risk-disclosure sign serial the server handed out; may be empty.
std::optional<QString> signSerial(const QString& text);
// The first problem of several checks.
std::optional<QString> firstOf(std::initializer_list<std::optional<QString>> checks);

} // namespace fundfields
