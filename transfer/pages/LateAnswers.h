#pragma once

#include <QString>
#include <QStringList>

// The money-moving requests whose dialog gave up waiting: the customer was
// told the outcome is unknown. When the answer comes after all, the page
// tells it on its own, and leaves alone whatever dialog is up by then.
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
    // The account changed or the page went: those answers reach nobody.
    void clear() { handles_.clear(); }

private:
    QStringList handles_;
};
