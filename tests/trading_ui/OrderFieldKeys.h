#pragma once

// Keys typed into an order form's price and quantity fields and what each
// field holds then: the keystrokes its formatter refuses are dropped, the
// others land, and the page takes what the field shows. Header only: the
// tests that use it link QtTest.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace uitest {

// `pageText` reads what the page holds for a field.
inline void typeIntoPriceAndQuantity(
    QLineEdit* price, QLineEdit* quantity, const std::function<QString(QLineEdit*)>& pageText)
{
    const struct {
        QLineEdit* field;
        const char* typed;
        const char* shown;
    } rows[] = {
        { price, "9.8x", "9.8" },
        { price, "1e2", "12" },
        { price, ".5", "5" },
        { price, "1.2.3", "1.23" },
        { price, "-1,5", "15" },
        { quantity, "1x2", "12" },
        { quantity, "1.5", "15" },
        { quantity, "1000000", "1000000" }, // longer than a code
        { quantity, "-300", "300" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.field->objectName().toStdString() + " " + row.typed);
        row.field->setFocus();
        row.field->selectAll();
        QTest::keyClick(row.field, Qt::Key_Delete);
        QTest::keyClicks(row.field, QString::fromLatin1(row.typed));
        EXPECT_EQ(row.field->text(), QString::fromLatin1(row.shown));
        EXPECT_EQ(pageText(row.field), QString::fromLatin1(row.shown));
    }
    // A paste the formatter refuses leaves the field as it was.
    QGuiApplication::clipboard()->setText(QStringLiteral("1e3"));
    QTest::keyClick(quantity, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(quantity->text(), QStringLiteral("300"));
}

} // namespace uitest
