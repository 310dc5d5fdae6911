// Qt's own texts in the client's language.
#include "platform/QtTranslations.h"

#include <QDir>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <gtest/gtest.h>
#include <memory>

// A right click in a text field offers its editing commands in Chinese.
TEST(QtTranslationsTest, ATextFieldsMenuIsChinese)
{
    if (!QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).exists(QStringLiteral("qtbase_zh_CN.qm")))
        GTEST_SKIP() << "Qt's Chinese translations are not installed";
    const std::unique_ptr<QTranslator> translator = platform::installQtTranslations();
    ASSERT_TRUE(translator);
    QLineEdit field;
    const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text().section(u'(', 0, 0).section(u'\t', 0, 0); // less mnemonic and shortcut
    EXPECT_EQ(texts, QStringList({ QStringLiteral("撤消"), QStringLiteral("重做"), QStringLiteral("剪切"),
                         QStringLiteral("复制"), QStringLiteral("粘贴"), QStringLiteral("删除"), QStringLiteral("全选") }));
}
