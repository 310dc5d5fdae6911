#include "platform/PropertyList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSize>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace plist = platform::PropertyList;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray wrap(const char* body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">") + body
        + "</plist>";
}

} // namespace

TEST(PropertyList, RoundTripsEveryTypeAndChineseText)
{
    const QDateTime when(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC);
    QVariantMap inner;
    inner.insert(QString::fromUtf8("名称"), QString::fromUtf8("示例证券 & <营业部> \"一\"\t\r\n末"));
    inner.insert("empty", QVariantMap());
    QVariantMap root;
    root.insert("string", QString::fromUtf8("中文 𠀀 text"));
    root.insert("emptyString", QString());
    root.insert("int", qint64(-9223372036854775807LL - 1));
    root.insert("big", qint64(9223372036854775807LL));
    root.insert("real", 0.1);
    root.insert("negReal", -2.5e-300);
    root.insert("yes", true);
    root.insert("no", false);
    root.insert("data", QByteArray("\x00\x01\xFF binary", 10));
    root.insert("emptyData", QByteArray());
    root.insert("date", when);
    root.insert("list", QVariantList { qint64(1), QString("two"), QVariantList(), inner });
    root.insert("inner", inner);

    const QByteArray bytes = plist::write(root);
    ASSERT_FALSE(bytes.isEmpty());

    // Empty containers at the top are closed too.
    EXPECT_EQ(plist::read(plist::write(QVariantMap())), QVariant(QVariantMap()));
    EXPECT_EQ(plist::read(plist::write(QVariantList())), QVariant(QVariantList()));
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"));
    EXPECT_TRUE(bytes.contains("<plist version=\"1.0\">\n<dict>\n\t<key>big</key>\n\t<integer>"));
    EXPECT_TRUE(bytes.contains("<date>2024-02-29T23:59:58Z</date>"));
    EXPECT_TRUE(bytes.contains("<true/>"));
    EXPECT_TRUE(bytes.contains(QString::fromUtf8("<key>名称</key>").toUtf8()));

    const auto back = plist::read(bytes);
    ASSERT_TRUE(back);
    const QVariantMap map = back->toMap();
    EXPECT_EQ(map.value("string").toString(), QString::fromUtf8("中文 𠀀 text"));
    EXPECT_EQ(map.value("emptyString").typeId(), QMetaType::QString);
    EXPECT_EQ(map.value("int").typeId(), QMetaType::LongLong);
    EXPECT_EQ(map.value("int").toLongLong(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(map.value("big").toLongLong(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(map.value("real").typeId(), QMetaType::Double);
    EXPECT_EQ(map.value("real").toDouble(), 0.1);
    EXPECT_EQ(map.value("negReal").toDouble(), -2.5e-300);
    EXPECT_EQ(map.value("yes").typeId(), QMetaType::Bool);
    EXPECT_TRUE(map.value("yes").toBool());
    EXPECT_FALSE(map.value("no").toBool());
    EXPECT_EQ(map.value("data").toByteArray(), QByteArray("\x00\x01\xFF binary", 10));
    EXPECT_EQ(map.value("emptyData").typeId(), QMetaType::QByteArray);
    EXPECT_EQ(map.value("date").toDateTime(), when);
    EXPECT_EQ(map.value("date").toDateTime().timeSpec(), Qt::UTC);
    EXPECT_EQ(map.value("inner").toMap(), inner);
    const QVariantList list = map.value("list").toList();
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[1].toString(), "two");
    EXPECT_EQ(list[2].toList().size(), 0);
    EXPECT_EQ(list[3].toMap(), inner);
    // Writing what was read gives the same document.
    EXPECT_EQ(plist::write(*back), bytes);

    // Non-finite reals and a bare root value.
    const auto reals = plist::read(plist::write(QVariantList { std::nan(""), -HUGE_VAL }));
    ASSERT_TRUE(reals);
    EXPECT_TRUE(std::isnan(reals->toList()[0].toDouble()));
    EXPECT_EQ(reals->toList()[1].toDouble(), -HUGE_VAL);
    EXPECT_EQ(plist::read("<string>x</string>"), QVariant("x"));
    EXPECT_EQ(plist::read(wrap("<data>\n\tAAEC\n\tAw==\n</data>"))->toByteArray(), QByteArray("\0\1\2\3", 4));
}

TEST(PropertyList, RefusesMalformedAndHostileDocuments)
{
    EXPECT_FALSE(plist::read(""));
    EXPECT_FALSE(plist::read("not xml"));
    EXPECT_FALSE(plist::read(wrap("")));
    EXPECT_FALSE(plist::read(wrap("<dict><key>a</key></dict>"))); // key without value
    EXPECT_FALSE(plist::read(wrap("<dict><string>a</string></dict>"))); // value without key
    EXPECT_FALSE(plist::read(wrap("<integer>12x</integer>")));
    EXPECT_FALSE(plist::read(wrap("<real>abc</real>")));
    EXPECT_FALSE(plist::read(wrap("<data>!!!!</data>")));
    EXPECT_FALSE(plist::read(wrap("<date>yesterday</date>")));
    EXPECT_FALSE(plist::read(wrap("<true>1</true>")));
    EXPECT_FALSE(plist::read(wrap("<string>a<b/></string>")));
    EXPECT_FALSE(plist::read(wrap("<unknown/>")));
    EXPECT_FALSE(plist::read(wrap("<string>a</string><string>b</string>")));
    EXPECT_FALSE(plist::read(wrap("<array>text<string>a</string></array>")));
    EXPECT_FALSE(plist::read(wrap("<dict>").left(60)));

    // Entity declarations are refused outright, so nothing can expand.
    const QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\">"
                              "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
                              "<plist version=\"1.0\"><string>&b;</string></plist>";
    EXPECT_FALSE(plist::read(laughs));
    const QByteArray external
        = "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
          "<plist version=\"1.0\"><string>&x;</string></plist>";
    EXPECT_FALSE(plist::read(external));
    EXPECT_FALSE(plist::read(wrap("<string>&undeclared;</string>")));
    EXPECT_EQ(plist::read(wrap("<string>&amp;&lt;&#x4E2D;</string>")), QVariant(QString::fromUtf8("&<中")));

    // Depth: 64 nested arrays are fine, 66 are not.
    auto nested = [](int n) {
        return wrap((QByteArray("<array>").repeated(n) + QByteArray("</array>").repeated(n)).constData());
    };
    EXPECT_TRUE(plist::read(nested(64)));
    EXPECT_FALSE(plist::read(nested(66)));
    EXPECT_FALSE(plist::read(nested(100000)));

    // Size cap.
    QByteArray huge = wrap("<string>") + QByteArray(plist::kMaxBytes, 'a') + "</string></plist>";
    EXPECT_FALSE(plist::read(huge));

    // Values without a property-list form are not written.
    EXPECT_TRUE(plist::write(QVariant()).isEmpty());
    EXPECT_TRUE(plist::write(QVariantList { QVariant::fromValue(QSize(1, 2)) }).isEmpty());
    EXPECT_TRUE(plist::write(QString("bell\x07")).isEmpty());
    QVariant deep = QVariantList();
    for (int i = 0; i < 70; ++i)
        deep = QVariantList { deep };
    EXPECT_TRUE(plist::write(deep).isEmpty());
}

TEST(PropertyList, FilesAreReadAsAbsentWhenCorruptAndWrittenAtomically)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Organization.plist");
    EXPECT_FALSE(plist::readFile(path)); // missing

    QVariantMap value { { "version", QString::fromUtf8("版本 3") } };
    ASSERT_TRUE(plist::writeFileAtomic(path, value));
    EXPECT_EQ(plist::readFile(path), QVariant(value));
    const QByteArray good = readAll(path);

    // A corrupt file reads as absent.
    const QString corrupt = dir.filePath("corrupt.plist");
    ASSERT_TRUE(writeRaw(corrupt, good.left(good.size() / 2)));
    EXPECT_FALSE(plist::readFile(corrupt));

    // A value that fails halfway through never touches the old file.
    QVariantMap bad = value;
    bad.insert("z", QVariantList { QVariant::fromValue(QSize(1, 1)) });
    EXPECT_FALSE(plist::writeFileAtomic(path, bad));
    EXPECT_EQ(readAll(path), good);
    // So does an update that merges into one: it answers that nothing was written.
    EXPECT_FALSE(plist::updateFile(path, [&](const std::optional<QVariantMap>&) { return bad; }));
    EXPECT_EQ(readAll(path), good);

    // A write that is abandoned midway (a crash, in effect) leaves the old file whole.
    {
        QSaveFile interrupted(path);
        ASSERT_TRUE(interrupted.open(QIODevice::WriteOnly));
        interrupted.write(plist::write(QVariantMap { { "version", "new" } }).left(40));
        interrupted.cancelWriting();
        EXPECT_FALSE(interrupted.commit());
    }
    EXPECT_EQ(readAll(path), good);

    // A file that cannot be written: its folder is a file.
    EXPECT_FALSE(plist::writeFileAtomic(dir.filePath("Organization.plist/child.plist"), value));
    EXPECT_EQ(readAll(path), good);
    // Nothing but the two files was left behind (no stray temporaries).
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
