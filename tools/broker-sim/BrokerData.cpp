#include "tools/broker-sim/BrokerData.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <openssl/crypto.h>

namespace brokersim {

PasswordHash PasswordHash::make(const QString& password, const QString& salt)
{
    PasswordHash h;
    h.salt = salt;
    h.sha256 = QCryptographicHash::hash(salt.toUtf8() + password.toUtf8(), QCryptographicHash::Sha256);
    return h;
}

bool PasswordHash::matches(const QString& password) const
{
    QByteArray input = salt.toUtf8() + password.toUtf8();
    const QByteArray digest = QCryptographicHash::hash(input, QCryptographicHash::Sha256);
    OPENSSL_cleanse(input.data(), size_t(input.size()));
    return sha256.size() == digest.size()
        && CRYPTO_memcmp(sha256.constData(), digest.constData(), size_t(digest.size())) == 0;
}

namespace {

bool allOf(const QString& text, bool (*ok)(char16_t))
{
    for (QChar c : text) {
        if (!ok(c.unicode()))
            return false;
    }
    return true;
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}
bool isAlnum(char16_t c)
{
    return isDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isHex(char16_t c)
{
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool digits(const QString& t, qsizetype min, qsizetype max)
{
    return t.size() >= min && t.size() <= max && allOf(t, isDigit);
}

bool alnum(const QString& t, qsizetype min, qsizetype max)
{
    return t.size() >= min && t.size() <= max && allOf(t, isAlnum);
}

// Exact decimal text: an optional minus, digits, optionally a point and digits.
bool decimalText(const QString& t)
{
    qsizetype i = t.startsWith(u'-') ? 1 : 0;
    const qsizetype intStart = i;
    while (i < t.size() && isDigit(t[i].unicode()))
        ++i;
    if (i == intStart)
        return false;
    if (i == t.size())
        return true;
    if (t[i] != u'.' || i + 1 == t.size())
        return false;
    ++i;
    while (i < t.size() && isDigit(t[i].unicode()))
        ++i;
    return i == t.size() && t.size() <= 32;
}

// A server entry travels as "name:address:port" inside a ","-separated list.
bool listSafe(const QString& t)
{
    return !t.isEmpty() && !t.contains(u':') && !t.contains(u',');
}

QString padded12(const QString& number)
{
    return number.size() >= 12 ? number : QString(12 - number.size(), u'0') + number;
}

// Reads one document, remembering the first problem with its JSON path.
class Parser {
public:
    std::optional<BrokerData> parse(const QByteArray& json);
    QString error;

private:
    bool fail(const QString& path, const QString& what)
    {
        if (error.isEmpty())
            error = path + QStringLiteral(": ") + what;
        return false;
    }
    bool keys(const QJsonObject& o, const QString& path, std::initializer_list<const char*> allowed);
    bool text(const QJsonObject& o, const QString& path, const char* key, QString& out, bool required = true);
    bool flag(const QJsonObject& o, const QString& path, const char* key, bool& out);
    bool integer(const QJsonObject& o, const QString& path, const char* key, qint32& out, bool required);
    bool array(const QJsonObject& o, const QString& path, const char* key, QJsonArray& out, bool required);
    bool object(const QJsonValue& v, const QString& path, QJsonObject& out);

    bool server(const QJsonValue& v, const QString& path, ServerEntry& out);
    bool group(const QJsonValue& v, const QString& path, ServerGroup& out);
    bool branch(const QJsonValue& v, const QString& path, Branch& out);
    bool customer(const QJsonValue& v, const QString& path, Customer& out);
    bool fund(const QJsonValue& v, const QString& path, FundAccount& out);
    bool shareholder(const QJsonValue& v, const QString& path, ShareholderAccount& out);
    bool message(const QJsonValue& v, const QString& path, SystemMessage& out);
    bool crossCheck(const BrokerData& d);
};

QString at(const QString& path, const char* key)
{
    return path + u'.' + QLatin1String(key);
}

QString at(const QString& path, qsizetype index)
{
    return path + u'[' + QString::number(index) + u']';
}

bool Parser::keys(const QJsonObject& o, const QString& path, std::initializer_list<const char*> allowed)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        bool known = false;
        for (const char* k : allowed)
            known = known || it.key() == QLatin1String(k);
        if (!known)
            return fail(path, QStringLiteral("unknown key \"%1\"").arg(it.key()));
    }
    return true;
}

bool Parser::text(const QJsonObject& o, const QString& path, const char* key, QString& out, bool required)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return !required || fail(at(path, key), QStringLiteral("missing"));
    if (!v.isString())
        return fail(at(path, key), QStringLiteral("expected a string"));
    out = v.toString();
    return true;
}

bool Parser::flag(const QJsonObject& o, const QString& path, const char* key, bool& out)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isBool())
        return fail(at(path, key), QStringLiteral("expected true or false"));
    out = v.toBool();
    return true;
}

bool Parser::integer(const QJsonObject& o, const QString& path, const char* key, qint32& out, bool required)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return !required || fail(at(path, key), QStringLiteral("missing"));
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || std::trunc(d) != d || d < -2147483648.0 || d > 2147483647.0)
        return fail(at(path, key), QStringLiteral("expected a 32-bit integer"));
    out = qint32(d);
    return true;
}

bool Parser::array(const QJsonObject& o, const QString& path, const char* key, QJsonArray& out, bool required)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined())
        return !required || fail(at(path, key), QStringLiteral("missing"));
    if (!v.isArray())
        return fail(at(path, key), QStringLiteral("expected an array"));
    out = v.toArray();
    return true;
}

bool Parser::object(const QJsonValue& v, const QString& path, QJsonObject& out)
{
    if (!v.isObject())
        return fail(path, QStringLiteral("expected an object"));
    out = v.toObject();
    return true;
}

bool Parser::server(const QJsonValue& v, const QString& path, ServerEntry& out)
{
    QJsonObject o;
    if (!object(v, path, o) || !keys(o, path, { "name", "address", "port" })
        || !text(o, path, "name", out.name) || !text(o, path, "address", out.address)
        || !text(o, path, "port", out.port))
        return false;
    if (!listSafe(out.name))
        return fail(at(path, "name"), QStringLiteral("must be non-empty without \":\" or \",\""));
    if (!listSafe(out.address))
        return fail(at(path, "address"), QStringLiteral("must be non-empty without \":\" or \",\""));
    const bool placeholder = out.port == QLatin1String("{tcPort}") || out.port == QLatin1String("{httpPort}");
    if (!placeholder && (!digits(out.port, 1, 5) || out.port.toUInt() > 65535))
        return fail(
            at(path, "port"), QStringLiteral("expected a port number, \"{tcPort}\" or \"{httpPort}\""));
    return true;
}

bool Parser::group(const QJsonValue& v, const QString& path, ServerGroup& out)
{
    QJsonObject o;
    QJsonArray quote, trade;
    if (!object(v, path, o) || !keys(o, path, { "provider", "quote", "trade" })
        || !text(o, path, "provider", out.provider) || !array(o, path, "quote", quote, true)
        || !array(o, path, "trade", trade, true))
        return false;
    for (qsizetype i = 0; i < quote.size(); ++i) {
        if (!server(quote[i], at(at(path, "quote"), i), out.quote.emplace_back()))
            return false;
    }
    for (qsizetype i = 0; i < trade.size(); ++i) {
        if (!server(trade[i], at(at(path, "trade"), i), out.trade.emplace_back()))
            return false;
    }
    return true;
}

bool Parser::branch(const QJsonValue& v, const QString& path, Branch& out)
{
    QJsonObject o;
    if (!object(v, path, o)
        || !keys(o, path, { "orgCode", "name", "areaId", "area", "prefixCode", "tokenRequired" })
        || !text(o, path, "orgCode", out.orgCode) || !text(o, path, "name", out.name)
        || !text(o, path, "areaId", out.areaId) || !text(o, path, "area", out.areaName)
        || !text(o, path, "prefixCode", out.prefixCode) || !flag(o, path, "tokenRequired", out.tokenRequired))
        return false;
    if (!alnum(out.orgCode, 4, 4))
        return fail(at(path, "orgCode"), QStringLiteral("expected four letters or digits"));
    if (!digits(out.prefixCode, 0, 4))
        return fail(at(path, "prefixCode"), QStringLiteral("expected up to four digits"));
    if (out.name.isEmpty() || out.areaName.isEmpty())
        return fail(path, QStringLiteral("a branch needs a name and an area"));
    return true;
}

bool Parser::fund(const QJsonValue& v, const QString& path, FundAccount& out)
{
    QJsonObject o;
    if (!object(v, path, o)
        || !keys(o, path,
            { "fundid", "fundseq", "bankName", "moneyType", "balance", "available", "stockValue",
                "marketValue" })
        || !text(o, path, "fundid", out.fundId) || !text(o, path, "fundseq", out.fundSeq)
        || !text(o, path, "bankName", out.bankName) || !text(o, path, "moneyType", out.moneyType)
        || !text(o, path, "balance", out.balance) || !text(o, path, "available", out.available)
        || !text(o, path, "stockValue", out.stockValue) || !text(o, path, "marketValue", out.marketValue))
        return false;
    if (!digits(out.fundId, 1, 12))
        return fail(at(path, "fundid"), QStringLiteral("expected 1 to 12 digits"));
    if (!digits(out.fundSeq, 1, 4))
        return fail(at(path, "fundseq"), QStringLiteral("expected a small number"));
    const std::pair<const char*, const QString*> amounts[]
        = { { "balance", &out.balance }, { "available", &out.available }, { "stockValue", &out.stockValue },
              { "marketValue", &out.marketValue } };
    for (const auto& [key, value] : amounts) {
        if (!decimalText(*value))
            return fail(at(path, key), QStringLiteral("expected a decimal amount such as \"1000.00\""));
    }
    return true;
}

bool Parser::shareholder(const QJsonValue& v, const QString& path, ShareholderAccount& out)
{
    QJsonObject o;
    if (!object(v, path, o) || !keys(o, path, { "market", "secuid", "type" })
        || !integer(o, path, "market", out.market, true) || !text(o, path, "secuid", out.secuid)
        || !integer(o, path, "type", out.type, false))
        return false;
    if (!QList<qint32> { 0, 1, 2, 3, 5, 6, 7 }.contains(out.market))
        return fail(at(path, "market"), QStringLiteral("expected 0, 1, 2, 3, 5, 6 or 7"));
    if (!alnum(out.secuid, 1, 10))
        return fail(at(path, "secuid"), QStringLiteral("expected 1 to 10 letters or digits"));
    return true;
}

bool Parser::customer(const QJsonValue& v, const QString& path, Customer& out)
{
    QJsonObject o, password, risk, last;
    QJsonArray funds, holders;
    QString salt, sha;
    if (!object(v, path, o)
        || !keys(o, path,
            { "custid", "name", "orgCode", "password", "prompt", "singleFlag", "tokenRequired", "tokenCode",
                "risk", "lastLogin", "fundAccounts", "shareholders" })
        || !text(o, path, "custid", out.custid) || !text(o, path, "name", out.name)
        || !text(o, path, "orgCode", out.orgCode)
        || !object(o.value(QLatin1String("password")), at(path, "password"), password)
        || !keys(password, at(path, "password"), { "salt", "sha256" })
        || !text(password, at(path, "password"), "salt", salt)
        || !text(password, at(path, "password"), "sha256", sha) || !text(o, path, "prompt", out.prompt, false)
        || !integer(o, path, "singleFlag", out.singleFlag, false)
        || !flag(o, path, "tokenRequired", out.tokenRequired)
        || !text(o, path, "tokenCode", out.tokenCode, false) || !array(o, path, "fundAccounts", funds, true)
        || !array(o, path, "shareholders", holders, false))
        return false;
    if (!digits(out.custid, 1, 12))
        return fail(at(path, "custid"), QStringLiteral("expected 1 to 12 digits"));
    if (out.name.isEmpty())
        return fail(at(path, "name"), QStringLiteral("must not be empty"));
    if (sha.size() != 64 || !allOf(sha, isHex))
        return fail(at(at(path, "password"), "sha256"), QStringLiteral("expected 64 hexadecimal digits"));
    out.password.salt = salt;
    out.password.sha256 = QByteArray::fromHex(sha.toLatin1());
    if (out.tokenCode.isEmpty())
        out.tokenCode = QLatin1String(kDefaultTokenCode);
    if (!alnum(out.tokenCode, 4, 16))
        return fail(at(path, "tokenCode"), QStringLiteral("expected 4 to 16 letters or digits"));

    if (o.contains(QLatin1String("risk"))) {
        const QString p = at(path, "risk");
        if (!object(o.value(QLatin1String("risk")), p, risk)
            || !keys(risk, p, { "isrisk", "tips", "fctipstitle", "fctips" })
            || !text(risk, p, "isrisk", out.risk.isrisk) || !text(risk, p, "tips", out.risk.tips, false)
            || !text(risk, p, "fctipstitle", out.risk.fctipstitle, false)
            || !text(risk, p, "fctips", out.risk.fctips, false))
            return false;
    }
    if (o.contains(QLatin1String("lastLogin"))) {
        const QString p = at(path, "lastLogin");
        if (!object(o.value(QLatin1String("lastLogin")), p, last) || !keys(last, p, { "time", "address" })
            || !text(last, p, "time", out.lastLogin.time) || !text(last, p, "address", out.lastLogin.address))
            return false;
    }
    for (qsizetype i = 0; i < funds.size(); ++i) {
        if (!fund(funds[i], at(at(path, "fundAccounts"), i), out.funds.emplace_back()))
            return false;
    }
    if (std::none_of(out.funds.cbegin(), out.funds.cend(),
            [](const FundAccount& f) { return f.fundSeq == QLatin1String("0"); }))
        return fail(at(path, "fundAccounts"), QStringLiteral("needs a main capital account (fundseq \"0\")"));
    for (qsizetype i = 0; i < holders.size(); ++i) {
        if (!shareholder(holders[i], at(at(path, "shareholders"), i), out.shareholders.emplace_back()))
            return false;
    }
    return true;
}

bool Parser::message(const QJsonValue& v, const QString& path, SystemMessage& out)
{
    QJsonObject o;
    return object(v, path, o) && keys(o, path, { "title", "content", "date", "softVersion" })
        && text(o, path, "title", out.title) && text(o, path, "content", out.content)
        && text(o, path, "date", out.date, false) && text(o, path, "softVersion", out.softVersion, false);
}

// What holds between entries: unique numbers, known branches, customer
// numbers that carry their branch code.
bool Parser::crossCheck(const BrokerData& d)
{
    QSet<QString> orgCodes;
    for (qsizetype i = 0; i < d.branches.size(); ++i) {
        if (orgCodes.contains(d.branches[i].orgCode))
            return fail(at(at(QStringLiteral("$"), "branches"), i), QStringLiteral("orgCode used twice"));
        orgCodes.insert(d.branches[i].orgCode);
    }
    QSet<QString> custids, fundids, secuids;
    for (qsizetype i = 0; i < d.customers.size(); ++i) {
        const Customer& c = d.customers[i];
        const QString path = at(at(QStringLiteral("$"), "customers"), i);
        if (!orgCodes.contains(c.orgCode))
            return fail(at(path, "orgCode"), QStringLiteral("no branch \"%1\"").arg(c.orgCode));
        if (!padded12(c.custid).startsWith(c.orgCode))
            return fail(at(path, "custid"),
                QStringLiteral("must begin with the branch code %1 (counted on 12 digits)").arg(c.orgCode));
        const QString custKey = padded12(c.custid);
        if (custids.contains(custKey))
            return fail(at(path, "custid"), QStringLiteral("customer number used twice"));
        custids.insert(custKey);
        for (qsizetype f = 0; f < c.funds.size(); ++f) {
            const QString key = padded12(c.funds[f].fundId);
            if (fundids.contains(key))
                return fail(at(at(at(path, "fundAccounts"), f), "fundid"),
                    QStringLiteral("capital account used twice"));
            fundids.insert(key);
        }
        for (qsizetype s = 0; s < c.shareholders.size(); ++s) {
            const ShareholderAccount& h = c.shareholders[s];
            const QString key = QString::number(h.market) + u'/' + h.secuid.toUpper();
            if (secuids.contains(key))
                return fail(at(at(at(path, "shareholders"), s), "secuid"),
                    QStringLiteral("shareholder account used twice in market %1").arg(h.market));
            secuids.insert(key);
        }
    }
    return true;
}

std::optional<BrokerData> Parser::parse(const QByteArray& json)
{
    if (json.size() > kMaxBrokerDataBytes) {
        fail(QStringLiteral("$"), QStringLiteral("larger than 16 MiB"));
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(QStringLiteral("$"),
            QStringLiteral("not JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset));
        return std::nullopt;
    }
    if (!doc.isObject()) {
        fail(QStringLiteral("$"), QStringLiteral("expected an object"));
        return std::nullopt;
    }
    const QJsonObject root = doc.object();
    const QString p = QStringLiteral("$");
    BrokerData d;
    QJsonArray servers, branches, customers, messages;
    if (!keys(root, p,
            { "captchaRequired", "branchListVersion", "menuVersion", "contId", "servers", "branches",
                "customers", "systemMessages" })
        || !flag(root, p, "captchaRequired", d.captchaRequired)
        || !text(root, p, "branchListVersion", d.branchListVersion)
        || !text(root, p, "menuVersion", d.menuVersion) || !text(root, p, "contId", d.contId)
        || !array(root, p, "servers", servers, true) || !array(root, p, "branches", branches, true)
        || !array(root, p, "customers", customers, true)
        || !array(root, p, "systemMessages", messages, false))
        return std::nullopt;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        if (!group(servers[i], at(at(p, "servers"), i), d.servers.emplace_back()))
            return std::nullopt;
    }
    for (qsizetype i = 0; i < branches.size(); ++i) {
        if (!branch(branches[i], at(at(p, "branches"), i), d.branches.emplace_back()))
            return std::nullopt;
    }
    for (qsizetype i = 0; i < customers.size(); ++i) {
        if (!customer(customers[i], at(at(p, "customers"), i), d.customers.emplace_back()))
            return std::nullopt;
    }
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if (!message(messages[i], at(at(p, "systemMessages"), i), d.systemMessages.emplace_back()))
            return std::nullopt;
    }
    if (!crossCheck(d))
        return std::nullopt;
    return d;
}

} // namespace

std::optional<BrokerData> parseBrokerData(const QByteArray& json, QString* error)
{
    Parser parser;
    auto data = parser.parse(json);
    if (!data && error)
        *error = parser.error;
    return data;
}

const BrokerData& defaultBrokerData()
{
    static const BrokerData data = [] {
        QString error;
        auto parsed = parseBrokerData(defaultBrokerDataJson(), &error);
        if (!parsed)
            qFatal("brokersim: the built-in broker data is malformed: %s", qPrintable(error));
        return *parsed;
    }();
    return data;
}

std::optional<LoadedBrokerData> loadBrokerData(const QString& folder, QString* error)
{
    const QString path = QDir(folder).filePath(QLatin1String(kBrokerDataFileName));
    const QFileInfo info(path);
    if (!info.exists())
        return LoadedBrokerData { defaultBrokerData(), QString() };
    auto refuse = [&](const QString& why) -> std::optional<LoadedBrokerData> {
        if (error)
            *error = path + QStringLiteral(": ") + why;
        return std::nullopt;
    };
    if (!info.isFile())
        return refuse(QStringLiteral("not a file"));
    if (info.size() > kMaxBrokerDataBytes)
        return refuse(QStringLiteral("larger than 16 MiB"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    const QByteArray bytes = file.read(kMaxBrokerDataBytes + 1);
    QString why;
    auto data = parseBrokerData(bytes, &why);
    if (!data)
        return refuse(why);
    return LoadedBrokerData { std::move(*data), path };
}

} // namespace brokersim
