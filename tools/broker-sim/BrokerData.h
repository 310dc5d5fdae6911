#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace brokersim {

// A trade password as the data file keeps it: SHA-256 of the salt's UTF-8
// bytes followed by the password's, never the password itself.
struct PasswordHash {
    QString salt;
    QByteArray sha256; // 32 bytes

    static PasswordHash make(const QString& password, const QString& salt);
    bool matches(const QString& password) const;
};

// One capital account. Money stays decimal text, as the server sends it.
struct FundAccount {
    QString fundId;
    QString fundSeq; // "0" marks a main capital account
    QString bankName;
    QString moneyType; // display name of the currency
    QString balance;
    QString available;
    QString stockValue;
    QString marketValue;
};

// One shareholder account: market 0 Shenzhen A, 1 Shanghai A, 2 Shenzhen B,
// 3 Shanghai B, 5 Stock Connect, 6 and 7 share-transfer boards A and B.
struct ShareholderAccount {
    qint32 market = 0;
    QString secuid;
    qint32 type = 0;
};

// The risk-questionnaire state: "isrisk" "1" or "2" asks the client to act.
struct RiskStatus {
    QString isrisk = QStringLiteral("0");
    QString tips;
    QString fctipstitle;
    QString fctips;
};

// When and from where the customer last logged in; empty before the first login.
struct LastLogin {
    QString time;
    QString address;
};

struct Customer {
    QString custid; // customer number; its first four digits (padded to 12) are the branch code
    QString name;
    QString orgCode;
    PasswordHash password;
    QString prompt; // the reserved greeting
    qint32 singleFlag = 0;
    bool tokenRequired = false;
    QString tokenCode; // the code the customer's token shows
    RiskStatus risk;
    LastLogin lastLogin;
    QList<FundAccount> funds;
    QList<ShareholderAccount> shareholders;
};

struct Branch {
    QString orgCode; // four characters
    QString name; // without the "营业部" suffix
    QString areaId;
    QString areaName;
    QString prefixCode; // turns a short capital account of the branch into a full one
    bool tokenRequired = false; // every customer of the branch needs a token code
};

// One server of the application-login lists. The port may be "{tcPort}" or
// "{httpPort}": the simulator's own fronts.
struct ServerEntry {
    QString name;
    QString address;
    QString port;
};

// The servers of one network provider: one row of the application-login reply.
struct ServerGroup {
    QString provider;
    QList<ServerEntry> quote;
    QList<ServerEntry> trade;
};

struct SystemMessage {
    QString title;
    QString content;
    QString date;
    QString softVersion; // empty: shown to every version
};

struct BrokerData {
    bool captchaRequired = true;
    QString branchListVersion;
    QString menuVersion;
    QString contId;
    QList<ServerGroup> servers;
    QList<Branch> branches;
    QList<Customer> customers;
    QList<SystemMessage> systemMessages;
};

inline constexpr char kBrokerDataFileName[] = "broker.json";
inline constexpr qsizetype kMaxBrokerDataBytes = 16 * 1024 * 1024;
inline constexpr char kDefaultTokenCode[] = "123456";

// Reads and checks a data document; nullopt with the reason (a JSON path and
// what is wrong there) when it is not one.
std::optional<BrokerData> parseBrokerData(const QByteArray& json, QString* error = nullptr);

// The built-in data, as a document and parsed.
const QByteArray& defaultBrokerDataJson();
const BrokerData& defaultBrokerData();

struct LoadedBrokerData {
    BrokerData data;
    QString source; // the file read, or empty for the built-in data
};

// Reads "broker.json" of the folder; the built-in data when there is no such
// file; nullopt with the reason when it cannot be read or is malformed.
std::optional<LoadedBrokerData> loadBrokerData(const QString& folder, QString* error = nullptr);

} // namespace brokersim
