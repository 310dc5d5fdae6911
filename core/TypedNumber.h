#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// What a customer types into a field that holds a number or a code (an
// amount, a share count, a price, a quantity, a stock or fund code, a
// captcha), read as the customer meant it. An input method in full-width
// mode types "１０００" for 1000: its digits, its point and its space are
// the ASCII ones, and white space around the value is no part of it. Every
// form reads such a field here and every formatter of such a field converts
// keystrokes here, so what a form checks, shows, confirms and sends is one
// text. Passwords are not numbers: they are taken as typed.
namespace typednumber {

// The most characters a request's text field carries.
inline constexpr qsizetype kLongest = 255;

// The ASCII forms of the full-width digits ("０" to "９"), the full-width
// point ("．") and the ideographic space; every other character as it is.
QString asciiForms(QStringView typed);
// The value of a field: asciiForms, without the white space around it.
QString read(QStringView typed);
// Whether a value can go into a request as it stands: printable ASCII other
// than "&" and "=" (a request body's pairs could not carry anything else).
// What cannot is refused at its form, before any request of the step.
bool canBeSent(QStringView value);
// A form's refusal of such a value, naming the field as the customer sees
// it ("委托数量").
QString refusal(const QString& field);
// A form's refusal of a value longer than kLongest, naming the field.
QString tooLong(const QString& field);
// Why a form cannot send `value`, typed into its field `field`: characters
// no request can carry, or more of them than a request holds; nullopt when
// it can be sent. Told before any request of the step goes out.
std::optional<QString> problem(const QString& field, QStringView value);

} // namespace typednumber
