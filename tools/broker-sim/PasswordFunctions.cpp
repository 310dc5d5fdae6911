#include "tools/broker-sim/PasswordFunctions.h"

#include "tools/broker-sim/BrokerSimulator.h"
#include "tools/broker-sim/LoginErrors.h"

#include <QMutexLocker>
#include <QRandomGenerator>
#include <QUrl>
#include <algorithm>

namespace brokersim {

namespace {

Reply refuse(qint32 code, const QString& message = QString())
{
    BrokerError e = brokerError(code);
    return Reply::error(e.code, message.isEmpty() ? e.message : message);
}

// What a change answers when it is done: the result row the broker sends.
Reply done()
{
    return Reply::withTable(Table()
                                .column(QStringLiteral("ErrCode"))
                                .column(QStringLiteral("ErrMsg"))
                                .row({ QStringLiteral("0"), QStringLiteral("修改成功") }));
}

Reply changeTradePassword(const Request& request, BrokerState& state)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error.code);
    const QString oldPassword = request.valueOr(QStringLiteral("oldpwd"));
    const QString newPassword = request.valueOr(QStringLiteral("newpwd"));
    if (!c->password.matches(oldPassword))
        return refuse(errors::kWrongPassword, QStringLiteral("原交易密码错误"));
    if (!isAcceptablePassword(newPassword))
        return refuse(errors::kBadRequest, QStringLiteral("新密码须为1到31位字母或数字"));
    state.broker().setPassword(c->custid, newPassword);
    return done();
}

Reply changeFundPassword(const Request& request, BrokerState& state, FundPasswords& funds)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error.code);
    const QString fundId = request.valueOr(QStringLiteral("fundid"));
    if (fundId.isEmpty())
        return refuse(errors::kUnknownFundAccount);
    if (!funds.matches(*c, fundId, request.valueOr(QStringLiteral("oldfundpwd"))))
        return refuse(errors::kWrongPassword, QStringLiteral("原资金密码错误"));
    const QString newPassword = request.valueOr(QStringLiteral("newfundpwd"));
    if (!isAcceptablePassword(newPassword))
        return refuse(errors::kBadRequest, QStringLiteral("新密码须为1到31位字母或数字"));
    funds.set(fundId, newPassword);
    return done();
}

Reply reservationInfo(const Request& request, BrokerState& state)
{
    BrokerError error;
    const Customer* c = state.broker().authenticate(request.body, &error);
    if (!c)
        return refuse(error.code);
    const std::optional<QString> escaped = request.value(u"prompt");
    if (!escaped)
        return refuse(errors::kBadRequest);
    const QString greeting = QUrl::fromPercentEncoding(escaped->toLatin1());
    if (const QString problem = greetingProblem(greeting); !problem.isEmpty())
        return refuse(errors::kBadRequest, problem);
    state.broker().setPrompt(c->custid, greeting);
    return done();
}

} // namespace

bool FundPasswords::matches(const Customer& customer, const QString& fundId, const QString& password) const
{
    QMutexLocker lock(&mutex_);
    const auto it = hashes_.constFind(fundId);
    return it == hashes_.cend() ? customer.password.matches(password) : it->matches(password);
}

void FundPasswords::set(const QString& fundId, const QString& password)
{
    QMutexLocker lock(&mutex_);
    hashes_[fundId]
        = PasswordHash::make(password, QString::number(QRandomGenerator::global()->generate64(), 16));
}

bool isAcceptablePassword(const QString& password)
{
    return !password.isEmpty() && password.size() <= kMaxNewPasswordLength
        && std::all_of(password.begin(), password.end(), [](QChar ch) {
               return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z');
           });
}

QString greetingProblem(const QString& greeting)
{
    if (greeting.isEmpty())
        return QStringLiteral("预留信息不能为空");
    if (greeting.size() > kMaxGreetingLength)
        return QStringLiteral("预留信息不能超过50个字");
    const QString forbidden = QString::fromUtf16(kGreetingForbidden);
    if (std::any_of(greeting.begin(), greeting.end(), [&](QChar ch) { return forbidden.contains(ch); }))
        return QStringLiteral("预留信息含有非法字符");
    return QString();
}

void registerPasswordFunctions(BrokerSimulator& simulator)
{
    auto funds = std::make_shared<FundPasswords>();
    simulator.registerFunction(
        kChangeTradePasswordFunction.main, kChangeTradePasswordFunction.sub, changeTradePassword);
    simulator.registerFunction(kChangeFundPasswordFunction.main, kChangeFundPasswordFunction.sub,
        [funds](const Request& request, BrokerState& state) {
            return changeFundPassword(request, state, *funds);
        });
    simulator.registerFunction(kReservationInfoFunction.main, kReservationInfoFunction.sub, reservationInfo);
}

} // namespace brokersim
