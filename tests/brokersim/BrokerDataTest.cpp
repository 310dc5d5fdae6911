#include "support/Spin.h"
#include "tools/broker-sim/Broker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace brokersim;

namespace {

QJsonObject defaultObject()
{
    return QJsonDocument::fromJson(defaultBrokerDataJson()).object();
}

QByteArray toJson(const QJsonObject& o)
{
    return QJsonDocument(o).toJson();
}

// The reason the document is refused; empty when it is taken.
QString refusal(const QByteArray& json)
{
    QString error;
    return parseBrokerData(json, &error) ? QString() : error;
}

// Changes one value of the first customer.
QByteArray withCustomer(const char* key, const QJsonValue& value, int index = 0)
{
    QJsonObject root = defaultObject();
    QJsonArray customers = root[QStringLiteral("customers")].toArray();
    QJsonObject c = customers[index].toObject();
    c[QLatin1String(key)] = value;
    customers[index] = c;
    root[QStringLiteral("customers")] = customers;
    return toJson(root);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(BrokerData, BuiltInDataAndPasswords)
{
    const BrokerData& d = defaultBrokerData();
    EXPECT_TRUE(d.captchaRequired);
    ASSERT_EQ(d.branches.size(), 3);
    EXPECT_TRUE(d.branches[2].tokenRequired);
    ASSERT_EQ(d.customers.size(), 3);
    const Customer& c = d.customers[0];
    EXPECT_EQ(c.custid, QStringLiteral("010100000001"));
    EXPECT_TRUE(c.password.matches(QStringLiteral("111111")));
    EXPECT_FALSE(c.password.matches(QStringLiteral("11111")));
    EXPECT_FALSE(c.password.matches(QString()));
    EXPECT_EQ(c.tokenCode, QLatin1String(kDefaultTokenCode));
    EXPECT_TRUE(d.customers[1].password.matches(QStringLiteral("222222")));
    EXPECT_TRUE(d.customers[2].password.matches(QStringLiteral("333333")));
    EXPECT_EQ(d.customers[2].tokenCode, QStringLiteral("654321"));

    // The hash is SHA-256 of the salt followed by the password.
    const PasswordHash h = PasswordHash::make(QStringLiteral("密码1"), QStringLiteral("s"));
    EXPECT_EQ(
        h.sha256.toHex(), QByteArray("fa7b6a02b54676863f972175ebdb1a24f0ec0302398b60f63cf74af9a4ce502b"));
    EXPECT_TRUE(h.matches(QStringLiteral("密码1")));
    EXPECT_FALSE(PasswordHash::make(QStringLiteral("a"), QStringLiteral("bc")).matches(QStringLiteral("ab")));

    // Lookups ignore leading zeros and the case of shareholder accounts.
    Broker broker;
    EXPECT_EQ(broker.customer(QStringLiteral("10100000001")), &broker.data().customers[0]);
    const auto z = broker.findAccount(QStringLiteral("Z"), QStringLiteral("0010110000002"));
    ASSERT_TRUE(z);
    EXPECT_EQ(z->fundId, QStringLiteral("010110000002"));
    EXPECT_TRUE(broker.findAccount(QStringLiteral("3"), QStringLiteral("c101000001")));
    BrokerError e;
    EXPECT_FALSE(broker.findAccount(QStringLiteral("C"), QString(), &e));
    EXPECT_EQ(e.code, errors::kUnknownAccount);
    EXPECT_FALSE(broker.findAccount(QStringLiteral("X"), QStringLiteral("1"), &e));
    EXPECT_EQ(e.code, errors::kBadInputType);
}

TEST(BrokerData, MalformedDocumentsAreRefusedWithTheirPlace)
{
    EXPECT_EQ(refusal(defaultBrokerDataJson()), QString());
    EXPECT_TRUE(refusal("{ \"customers\": [ }").startsWith(QStringLiteral("$: not JSON (")));
    EXPECT_EQ(refusal("[]"), QStringLiteral("$: expected an object"));
    EXPECT_FALSE(refusal("").isEmpty());

    QJsonObject root = defaultObject();
    QJsonArray customers;
    root.remove(QStringLiteral("branches"));
    EXPECT_EQ(refusal(toJson(root)), QStringLiteral("$.branches: missing"));
    root = defaultObject();
    root[QStringLiteral("captchaRequired")] = QStringLiteral("yes");
    EXPECT_EQ(refusal(toJson(root)), QStringLiteral("$.captchaRequired: expected true or false"));
    root = defaultObject();
    root[QStringLiteral("extra")] = 1;
    EXPECT_EQ(refusal(toJson(root)), QStringLiteral("$: unknown key \"extra\""));

    EXPECT_EQ(refusal(withCustomer("custid", QStringLiteral("01010000000x"))),
        QStringLiteral("$.customers[0].custid: expected 1 to 12 digits"));
    EXPECT_EQ(refusal(withCustomer("custid", QStringLiteral("020100000001"))),
        QStringLiteral("$.customers[0].custid: must begin with the branch code 0101 (counted on 12 digits)"));
    EXPECT_EQ(refusal(withCustomer("custid", QStringLiteral("1020000002"), 1)),
        QStringLiteral("$.customers[1].custid: must begin with the branch code 0102 (counted on 12 digits)"));
    EXPECT_EQ(refusal(withCustomer("orgCode", QStringLiteral("0999"))),
        QStringLiteral("$.customers[0].orgCode: no branch \"0999\""));
    EXPECT_EQ(refusal(withCustomer("password",
                  QJsonObject { { QStringLiteral("salt"), QStringLiteral("s") },
                      { QStringLiteral("sha256"), QStringLiteral("abc") } })),
        QStringLiteral("$.customers[0].password.sha256: expected 64 hexadecimal digits"));
    EXPECT_EQ(refusal(withCustomer("password", QStringLiteral("111111"))),
        QStringLiteral("$.customers[0].password: expected an object"));
    EXPECT_EQ(refusal(withCustomer("singleFlag", 1.5)),
        QStringLiteral("$.customers[0].singleFlag: expected a 32-bit integer"));
    EXPECT_EQ(refusal(withCustomer("shareholders",
                  QJsonArray { QJsonObject { { QStringLiteral("market"), 4 },
                      { QStringLiteral("secuid"), QStringLiteral("X1") } } })),
        QStringLiteral("$.customers[0].shareholders[0].market: expected 0, 1, 2, 3, 5, 6 or 7"));
    EXPECT_EQ(refusal(withCustomer("fundAccounts",
                  QJsonArray { QJsonObject { { QStringLiteral("fundid"), QStringLiteral("010110000001") },
                      { QStringLiteral("fundseq"), QStringLiteral("1") },
                      { QStringLiteral("bankName"), QString() }, { QStringLiteral("moneyType"), QString() },
                      { QStringLiteral("balance"), QStringLiteral("1e5") },
                      { QStringLiteral("available"), QStringLiteral("0") },
                      { QStringLiteral("stockValue"), QStringLiteral("0") },
                      { QStringLiteral("marketValue"), QStringLiteral("0") } } })),
        QStringLiteral(
            "$.customers[0].fundAccounts[0].balance: expected a decimal amount such as \"1000.00\""));
    EXPECT_EQ(refusal(withCustomer("fundAccounts", QJsonArray {})),
        QStringLiteral("$.customers[0].fundAccounts: needs a main capital account (fundseq \"0\")"));
    // The same customer number twice, also when written with fewer zeros.
    root = QJsonDocument::fromJson(withCustomer("custid", QStringLiteral("10100000001"), 1)).object();
    customers = root[QStringLiteral("customers")].toArray();
    QJsonObject second = customers[1].toObject();
    second[QStringLiteral("orgCode")] = QStringLiteral("0101");
    customers[1] = second;
    root[QStringLiteral("customers")] = customers;
    EXPECT_EQ(refusal(toJson(root)), QStringLiteral("$.customers[1].custid: customer number used twice"));
    root = defaultObject();
    customers = root[QStringLiteral("customers")].toArray();
    customers.append(customers[0]);
    root[QStringLiteral("customers")] = customers;
    EXPECT_EQ(refusal(toJson(root)), QStringLiteral("$.customers[3].custid: customer number used twice"));

    // Server entries must survive the "name:address:port" list.
    root = defaultObject();
    QJsonArray servers = root[QStringLiteral("servers")].toArray();
    QJsonObject group = servers[0].toObject();
    group[QStringLiteral("quote")] = QJsonArray { QJsonObject {
        { QStringLiteral("name"), QStringLiteral("a:b") }, { QStringLiteral("address"), QStringLiteral("h") },
        { QStringLiteral("port"), QStringLiteral("1") } } };
    servers[0] = group;
    root[QStringLiteral("servers")] = servers;
    EXPECT_EQ(refusal(toJson(root)),
        QStringLiteral("$.servers[0].quote[0].name: must be non-empty without \":\" or \",\""));
    group[QStringLiteral("quote")] = QJsonArray { QJsonObject {
        { QStringLiteral("name"), QStringLiteral("a") }, { QStringLiteral("address"), QStringLiteral("h") },
        { QStringLiteral("port"), QStringLiteral("70000") } } };
    servers[0] = group;
    root[QStringLiteral("servers")] = servers;
    EXPECT_EQ(refusal(toJson(root)),
        QStringLiteral("$.servers[0].quote[0].port: expected a port number, \"{tcPort}\" or \"{httpPort}\""));
}

TEST(BrokerData, FileInTheDataFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;

    // No file: the built-in data.
    auto loaded = loadBrokerData(dir.path(), &error);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->source.isEmpty());
    EXPECT_EQ(loaded->data.customers.size(), 3);

    // A file of our own: one customer with a password made for it.
    const QString path = dir.filePath(QStringLiteral("broker.json"));
    QJsonObject root = defaultObject();
    QJsonArray customers = root[QStringLiteral("customers")].toArray();
    QJsonObject only = customers[0].toObject();
    const PasswordHash hash = PasswordHash::make(QStringLiteral("abc123"), QStringLiteral("salt"));
    only[QStringLiteral("password")] = QJsonObject { { QStringLiteral("salt"), hash.salt },
        { QStringLiteral("sha256"), QString::fromLatin1(hash.sha256.toHex()) } };
    root[QStringLiteral("customers")] = QJsonArray { only };
    root[QStringLiteral("captchaRequired")] = false;
    ASSERT_TRUE(writeFile(path, toJson(root)));
    loaded = loadBrokerData(dir.path(), &error);
    ASSERT_TRUE(loaded) << qPrintable(error);
    EXPECT_EQ(loaded->source, path);
    EXPECT_FALSE(loaded->data.captchaRequired);
    ASSERT_EQ(loaded->data.customers.size(), 1);
    EXPECT_TRUE(loaded->data.customers[0].password.matches(QStringLiteral("abc123")));

    // A malformed file is refused with its path and the reason.
    ASSERT_TRUE(writeFile(path, "{ \"branches\": 5 "));
    EXPECT_FALSE(loadBrokerData(dir.path(), &error));
    EXPECT_TRUE(error.startsWith(path + QStringLiteral(": $: not JSON"))) << qPrintable(error);
    // So is a folder in its place.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("broker.json")));
    EXPECT_FALSE(loadBrokerData(dir.path(), &error));
    EXPECT_EQ(error, path + QStringLiteral(": not a file"));
}

TEST(BrokerData, ExecutableRefusesAMalformedFileAndTakesAGoodOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("broker.json"));
    ASSERT_TRUE(writeFile(path, withCustomer("orgCode", QStringLiteral("0999"))));

    QProcess process;
    process.start(QStringLiteral(BROKER_SIM_EXE), { QStringLiteral("--data"), dir.path() });
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 3);
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("broker.json: $.customers[0].orgCode: no branch \"0999\"")))
        << qPrintable(err);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());

    ASSERT_TRUE(writeFile(path, defaultBrokerDataJson()));
    process.start(QStringLiteral(BROKER_SIM_EXE), { QStringLiteral("--data"), dir.path() });
    ASSERT_TRUE(process.waitForStarted(10000));
    QByteArray out;
    testsupport::spinUntil(
        [&] {
            out += process.readAllStandardOutput();
            return out.contains("data ") || process.state() == QProcess::NotRunning;
        },
        std::chrono::seconds(20));
    EXPECT_TRUE(out.contains("broker " + QDir::toNativeSeparators(path).toLocal8Bit() + "\n"))
        << out.toStdString();
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0);
}
