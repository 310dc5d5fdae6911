#include "tools/broker-sim/Broker.h"

#include "platform/ChinaClock.h"
#include "tools/broker-sim/CaptchaImage.h"

#include <QMutexLocker>
#include <QRandomGenerator>
#include <openssl/rand.h>

namespace brokersim {

namespace {

QByteArray randomBytes(qsizetype count)
{
    QByteArray bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), int(count)) != 1)
        qFatal("brokersim: RAND_bytes failed");
    return bytes;
}

// Account numbers compare without their leading zeros: the client pads short
// numbers with zeros in front.
QString numberKey(const QString& number)
{
    qsizetype i = 0;
    while (i < number.size() && number[i] == u'0')
        ++i;
    return number.sliced(i);
}

QString secuidKey(qint32 market, const QString& secuid)
{
    return QString::number(market) + u'/' + numberKey(secuid).toUpper();
}

// The first value of a key among the body's pairs.
std::optional<QString> pairValue(const TCHttpForm::Pairs& body, QStringView key)
{
    return TCHttpForm::value(body, key);
}

} // namespace

Broker::Broker()
    : data_(defaultBrokerData())
    , clock_([] { return platform::ChinaClock::now(); })
{
    rebuildIndexes();
}

void Broker::reset(BrokerData data)
{
    data_ = std::move(data);
    captchas_.clear();
    captchaOrder_.clear();
    lastCaptchaCode_.clear();
    tickets_.clear();
    ticketOrder_.clear();
    newestTicket_.clear();
    rebuildIndexes();
}

void Broker::rebuildIndexes()
{
    byCustid_.clear();
    byFundid_.clear();
    bySecuid_.clear();
    for (qsizetype i = 0; i < data_.customers.size(); ++i) {
        const Customer& c = data_.customers[i];
        byCustid_.insert(numberKey(c.custid), i);
        for (const FundAccount& f : c.funds)
            byFundid_.insert(numberKey(f.fundId), i);
        for (const ShareholderAccount& s : c.shareholders)
            bySecuid_.insert(secuidKey(s.market, s.secuid), i);
    }
}

const Branch* Broker::branch(const QString& orgCode) const
{
    for (const Branch& b : data_.branches) {
        if (b.orgCode == orgCode)
            return &b;
    }
    return nullptr;
}

const Customer* Broker::customer(const QString& custid) const
{
    const auto it = byCustid_.constFind(numberKey(custid));
    return it == byCustid_.cend() ? nullptr : &data_.customers[*it];
}

Customer* Broker::mutableCustomer(const QString& custid)
{
    const auto it = byCustid_.constFind(numberKey(custid));
    return it == byCustid_.cend() ? nullptr : &data_.customers[*it];
}

std::optional<Broker::Account> Broker::findAccount(
    const QString& inputType, const QString& inputId, BrokerError* error) const
{
    auto refuse = [&](qint32 code) -> std::optional<Account> {
        if (error)
            *error = brokerError(code);
        return std::nullopt;
    };
    auto mainFund = [](const Customer& c) {
        for (const FundAccount& f : c.funds) {
            if (f.fundSeq == QLatin1String("0"))
                return f.fundId;
        }
        return c.funds.isEmpty() ? QString() : c.funds.first().fundId;
    };
    if (inputId.isEmpty())
        return refuse(errors::kUnknownAccount);

    if (inputType == QLatin1String("C")) {
        const Customer* c = customer(inputId);
        if (!c)
            return refuse(errors::kUnknownAccount);
        return Account { c, mainFund(*c) };
    }
    if (inputType == QLatin1String("Z")) {
        const QString key = numberKey(inputId);
        const auto it = byFundid_.constFind(key);
        if (it == byFundid_.cend())
            return refuse(errors::kUnknownAccount);
        const Customer& c = data_.customers[*it];
        for (const FundAccount& f : c.funds) {
            if (numberKey(f.fundId) == key)
                return Account { &c, f.fundId };
        }
        return refuse(errors::kUnknownAccount);
    }
    static const QStringList markets { QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"),
        QStringLiteral("3"), QStringLiteral("6"), QStringLiteral("7") };
    if (!markets.contains(inputType))
        return refuse(errors::kBadInputType);
    const auto it = bySecuid_.constFind(secuidKey(inputType.toInt(), inputId));
    if (it == bySecuid_.cend())
        return refuse(errors::kUnknownAccount);
    const Customer& c = data_.customers[*it];
    return Account { &c, mainFund(c) };
}

QString Broker::marketName(qint32 market)
{
    switch (market) {
    case 0:
        return QStringLiteral("深圳A股");
    case 1:
        return QStringLiteral("上海A股");
    case 2:
        return QStringLiteral("深圳B股");
    case 3:
        return QStringLiteral("上海B股");
    case 5:
        return QStringLiteral("港股通");
    case 6:
        return QStringLiteral("股转A");
    case 7:
        return QStringLiteral("股转B");
    default:
        return QString::number(market);
    }
}

// ---------------------------------------------------------------------------
// Captchas

void Broker::remember(std::deque<QString>& order, qsizetype max, const QString& key, bool isTicket)
{
    order.push_back(key);
    // Oldest first out, so that a long run cannot grow without bound.
    while (qsizetype(order.size()) > max) {
        const QString old = order.front();
        order.pop_front();
        if (isTicket) {
            const auto t = tickets_.constFind(old);
            if (t != tickets_.cend() && newestTicket_.value(t->custid) == old)
                newestTicket_.remove(t->custid);
            tickets_.remove(old);
        } else {
            captchas_.remove(old);
        }
    }
}

Broker::Captcha Broker::issueCaptcha(const QString& key)
{
    Captcha captcha;
    const QByteArray random = randomBytes(4 + 8);
    for (int i = 0; i < 4; ++i)
        captcha.code += QChar(u'0' + quint8(random[i]) % 10);
    captcha.id = QString::fromLatin1(random.sliced(4).toHex());
    captcha.png = captchaPng(captcha.code);
    if (captchas_.contains(key))
        std::erase(captchaOrder_, key);
    captchas_.insert(key, captcha);
    remember(captchaOrder_, kMaxCaptchas, key, false);
    lastCaptchaCode_ = captcha.code;
    return captcha;
}

std::optional<BrokerError> Broker::checkCaptcha(const QString& key, const QString& checkword)
{
    const auto it = captchas_.constFind(key);
    if (it == captchas_.cend())
        return brokerError(errors::kCaptchaExpired);
    const QString code = it->code;
    captchas_.erase(it);
    std::erase(captchaOrder_, key);
    if (checkword.isEmpty() || checkword.compare(code, Qt::CaseInsensitive) != 0)
        return brokerError(errors::kWrongCaptcha);
    return std::nullopt;
}

std::optional<QString> Broker::captchaCode(const QString& key) const
{
    const auto it = captchas_.constFind(key);
    if (it == captchas_.cend())
        return std::nullopt;
    return it->code;
}

bool Broker::tokenRequired(const Customer& customer) const
{
    {
        QMutexLocker lock(&controlsMutex_);
        if (tokenOverride_)
            return *tokenOverride_;
    }
    const Branch* b = branch(customer.orgCode);
    return customer.tokenRequired || (b && b->tokenRequired);
}

// ---------------------------------------------------------------------------
// Logins and the common prefix

QString Broker::openLogin(
    const Customer& customer, const QString& fundId, const QString& password, const QString& netaddr)
{
    QString ticket;
    do {
        ticket = QString::fromLatin1(randomBytes(16).toHex());
    } while (tickets_.contains(ticket));
    tickets_.insert(ticket, Ticket { customer.custid, fundId, netaddr });
    newestTicket_.insert(customer.custid, ticket);
    remember(ticketOrder_, kMaxTickets, ticket, true);

    return QStringLiteral("custid=%1&custorgid=%2&orgid=%2&fundid=%3&ticket=%4&trdpwd=%5&netaddr=%6")
        .arg(customer.custid, customer.orgCode, fundId, ticket, password, netaddr);
}

QString Broker::currentLogin(const Customer& customer, const QString& password)
{
    const auto newest = newestTicket_.constFind(customer.custid);
    if (newest == newestTicket_.cend()) {
        QString fundId;
        for (const FundAccount& f : customer.funds) {
            if (f.fundSeq == QLatin1String("0")) {
                fundId = f.fundId;
                break;
            }
        }
        return openLogin(customer, fundId, password, QString());
    }
    const Ticket& t = tickets_[*newest];
    return QStringLiteral("custid=%1&custorgid=%2&orgid=%2&fundid=%3&ticket=%4&trdpwd=%5&netaddr=%6")
        .arg(customer.custid, customer.orgCode, t.fundId, *newest, password, t.netaddr);
}

const Customer* Broker::authenticate(const TCHttpForm::Pairs& body, BrokerError* error) const
{
    auto refuse = [&](qint32 code) -> const Customer* {
        if (error)
            *error = brokerError(code);
        return nullptr;
    };
    const auto ticket = pairValue(body, u"ticket");
    const auto custid = pairValue(body, u"custid");
    if (!ticket || !custid)
        return refuse(errors::kLoginExpired);
    const auto t = tickets_.constFind(*ticket);
    if (t == tickets_.cend() || t->custid != *custid)
        return refuse(errors::kLoginExpired);
    const Customer* c = customer(*custid);
    if (!c)
        return refuse(errors::kLoginExpired);
    const auto password = pairValue(body, u"trdpwd");
    if (!password || !c->password.matches(*password))
        return refuse(errors::kWrongPassword);
    if (const auto fundId = pairValue(body, u"fundid")) {
        const bool own = std::any_of(
            c->funds.cbegin(), c->funds.cend(), [&](const FundAccount& f) { return f.fundId == *fundId; });
        if (!own)
            return refuse(errors::kUnknownFundAccount);
    }
    return c;
}

LastLogin Broker::recordLogin(const Customer& customer, const QString& netaddr)
{
    Customer* c = mutableCustomer(customer.custid);
    if (!c)
        return {};
    const LastLogin previous = c->lastLogin;
    // "M:ip|public ip|MAC:…": the public address when known, else the local one.
    QString address = netaddr;
    if (netaddr.startsWith(QLatin1String("M:"))) {
        const QStringList parts = netaddr.sliced(2).split(u'|');
        address = parts.value(1).isEmpty() ? parts.value(0) : parts.value(1);
    }
    // The broker's customers read the time on the exchanges' clock, whatever
    // the zone of the machine the simulator runs on.
    c->lastLogin.time
        = platform::ChinaClock::toChinaTime(clock_()).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    c->lastLogin.address = address.left(64);
    return previous;
}

bool Broker::setPassword(const QString& custid, const QString& password)
{
    Customer* c = mutableCustomer(custid);
    if (!c)
        return false;
    c->password = PasswordHash::make(password, QString::number(QRandomGenerator::global()->generate64(), 16));
    return true;
}

bool Broker::setPrompt(const QString& custid, const QString& prompt)
{
    Customer* c = mutableCustomer(custid);
    if (!c)
        return false;
    c->prompt = prompt;
    return true;
}

void Broker::setClock(std::function<QDateTime()> clock)
{
    clock_ = clock ? std::move(clock) : [] { return platform::ChinaClock::now(); };
}

// ---------------------------------------------------------------------------
// Test controls

void Broker::answer90001Next(int count)
{
    QMutexLocker lock(&controlsMutex_);
    appLogin90001_ += std::max(0, count);
}

bool Broker::take90001()
{
    QMutexLocker lock(&controlsMutex_);
    if (appLogin90001_ <= 0)
        return false;
    --appLogin90001_;
    return true;
}

void Broker::setCaptchaRequired(bool required)
{
    QMutexLocker lock(&controlsMutex_);
    captchaOverride_ = required;
}

bool Broker::captchaRequired() const
{
    QMutexLocker lock(&controlsMutex_);
    return captchaOverride_.value_or(data_.captchaRequired);
}

void Broker::setTokenRequired(std::optional<bool> required)
{
    QMutexLocker lock(&controlsMutex_);
    tokenOverride_ = required;
}

void Broker::clearControls()
{
    QMutexLocker lock(&controlsMutex_);
    appLogin90001_ = 0;
    captchaOverride_.reset();
    tokenOverride_.reset();
}

} // namespace brokersim
