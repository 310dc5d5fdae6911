#pragma once

#include "tools/broker-sim/Request.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <vector>

namespace brokersim {

class BrokerSimulator;

// The permission functions: the list is fixed, the other three are named by
// the links the list and the agreement lists hand out.
inline constexpr Function kPermissionListFunction { 500, 209 };
inline constexpr Function kConnectPermissionListFunction { 500, 259 }; // "func=s&market=5"
inline constexpr Function kPermissionContractFunction { 500, 3201 };
inline constexpr Function kPermissionSignFunction { 500, 3202 };
inline constexpr Function kPermissionOpenFunction { 500, 3203 };

// One agreement step of a permission.
struct PermissionStep {
    enum class Kind { Text, Web, Questionnaire };
    Kind kind = Kind::Text;
    QString agreementId; // signed under this id; "" when the step is not signed
    QString title;
    QString content; // text steps
    QString page; // web steps: the page's path on the HTTP front
    qint64 locktime = 0;
    QString tips;
    QString showtips;
};

// One business permission the simulator offers.
struct PermissionSpec {
    QString code; // "rightcode" of its links
    QString name;
    // Whose shareholder account it belongs to; the list names the market as
    // the shareholder accounts' list does.
    qint32 shareholderMarket = 0;
    bool openedAtStart = false;
    std::vector<PermissionStep> steps;
};
const std::vector<PermissionSpec>& permissionCatalogue();

// Per customer, which permissions are opened and which agreements signed.
// Lives as a child of the simulator; the simulator's thread only.
class PermissionBook : public QObject {
public:
    explicit PermissionBook(QObject* parent = nullptr);
    static PermissionBook* of(BrokerSimulator& simulator);

    bool isOpened(const QString& custid, const QString& code) const;
    void setOpened(const QString& custid, const QString& code, bool opened);
    bool isSigned(const QString& custid, const QString& agreementId) const;
    void sign(const QString& custid, const QString& agreementId);
    void unsign(const QString& custid, const QString& agreementId);
    void reset();

private:
    QHash<QString, bool> opened_; // custid + "/" + code
    QSet<QString> signed_; // custid + "/" + agreement id
};

void registerPermissionFunctions(BrokerSimulator& simulator);

} // namespace brokersim
