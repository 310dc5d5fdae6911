#pragma once

#include <QString>
#include <QStringList>

// The money-moving requests whose dialog gave up waiting: the customer was
// told the outcome is unknown. When the answer comes after all, the page
// tells it on its own, reads the money again and leaves alone whatever
// dialog is up by then; once the page is left or the account changes, the
// request's relay tells it instead.
class LateAnswers {
public:
    // The request under `handle` is no longer awaited by its dialog.
    void expect(const QString& handle)
    {
        if (!handle.isEmpty())
            handles_ << handle;
    }
    // True once for the answer of a request given up on.
    bool take(const QString& handle) { return !handle.isEmpty() && handles_.removeOne(handle); }
    // The account changed or the page went: those answers are the relays' to tell.
    void clear() { handles_.clear(); }

private:
    QStringList handles_;
};
