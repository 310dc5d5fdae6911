#pragma once

#include <QString>
#include <QValidator>
#include <QVariant>
#include <optional>

// Base of the text formatters that fields of account numbers, stock codes,
// quantities and prices carry. Each one decides whether a whole edited text
// may stand: validate() answers Acceptable or Invalid and never
// Intermediate, so a refused keystroke leaves the field as it was and no
// half-valid text is ever kept. What is typed is first read as a number or
// a code is (typednumber::read): a full-width digit typed is a digit, and
// the field shows it as one.
class InputFormatter : public QValidator {
    Q_OBJECT
public:
    explicit InputFormatter(QObject* parent = nullptr);

    // stringForObjectValue: the value itself when it is a text.
    static std::optional<QString> stringForObjectValue(const QVariant& value);
    // getObjectValue: the value is the text itself; always succeeds.
    static QVariant getObjectValue(const QString& string);

    // isPartialStringValid: whether the edited text may stand.
    virtual bool isPartialStringValid(const QString& partialString) const = 0;
    // keyForPartialString: whether one character is admitted.
    virtual bool keyForPartialString(QChar character) const = 0;

    State validate(QString& input, int& pos) const override;

protected:
    bool allKeysAdmitted(const QString& text) const;
    // A password's formatter: keystrokes are taken as they are typed.
    void takeKeystrokesAsTyped() { readsTypedNumbers_ = false; }

private:
    bool readsTypedNumbers_ = true;
};

// A formatter with a longest text that pages change with setMaxLength.
class LimitedInputFormatter : public InputFormatter {
    Q_OBJECT
public:
    explicit LimitedInputFormatter(quint64 maxLength, QObject* parent = nullptr);

    quint64 maxLength() const { return _maxLength; }
    void setMaxLength(quint64 maxLength) { _maxLength = maxLength; }

protected:
    bool exceedsLimit(const QString& text) const { return quint64(text.size()) > _maxLength; }

private:
    quint64 _maxLength;
};
