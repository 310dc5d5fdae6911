#pragma once

// What an input method in full-width mode commits into a field that holds a
// number or a code. Header only: the tests that use it link QtTest.
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QString>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace testsupport {

// "10" typed into `field`, then "５" committed twice after its "1": each
// digit lands where it was typed, so the field, and the page (`held`, when
// given), hold "1550", never "1505" from a cursor sent to the end. The field
// is left empty.
inline void commitWideDigitsInTheMiddle(QLineEdit* field, const std::function<QString()>& held = {})
{
    SCOPED_TRACE(field->objectName().toStdString());
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, QStringLiteral("10"));
    field->setCursorPosition(1);
    for (int i = 0; i < 2; ++i) {
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("５"));
        QCoreApplication::sendEvent(field, &commit);
    }
    EXPECT_EQ(field->text(), QStringLiteral("1550"));
    if (held)
        EXPECT_EQ(held(), QStringLiteral("1550"));
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
}

} // namespace testsupport
