#pragma once

// Keys typed into an order form's price and quantity fields and what each
// field holds then: the keystrokes its formatter refuses are dropped, the
// others land, and the page takes what the field shows. Header only: the
// tests that use it link QtTest.
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
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

    // What an input method in full-width mode commits is read as the digits
    // it means, never dropped; what still is no number is refused whole.
    const struct {
        QLineEdit* field;
        const char16_t* committed;
        const char* shown;
    } wide[] = { { price, u"９．５", "9.5" }, { quantity, u"\u3000２００", "200" },
        { quantity, u"１００股", "" } };
    for (const auto& row : wide) {
        SCOPED_TRACE(row.shown);
        row.field->setFocus();
        row.field->selectAll();
        QTest::keyClick(row.field, Qt::Key_Delete);
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUtf16(row.committed));
        QCoreApplication::sendEvent(row.field, &commit);
        EXPECT_EQ(row.field->text(), QString::fromLatin1(row.shown));
        EXPECT_EQ(pageText(row.field), QString::fromLatin1(row.shown));
    }
}

} // namespace uitest
