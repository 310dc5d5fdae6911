#pragma once

#include "comm/transport/TCHttpForm.h"
#include "tools/broker-sim/BrokerData.h"
#include "tools/broker-sim/LoginErrors.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace brokersim {

// The broker's customers, branches and accounts as the login and account
// functions see them, with what a login leaves behind: the captcha issued to
// each session and the tickets behind the common prefixes handed out.
//
// Everything but the test controls belongs to the simulator's thread; the
// controls may be set from any thread.
class Broker {
public:
    static constexpr qsizetype kMaxCaptchas = 4096;
    static constexpr qsizetype kMaxTickets = 4096;
    static constexpr qsizetype kMaxPasswordLength = 255;
    static constexpr qsizetype kMaxNetAddrLength = 511;

    // Starts with the built-in data.
    Broker();
    // Replaces the data and forgets captchas and tickets; the controls stay.
    void reset(BrokerData data);
    const BrokerData& data() const { return data_; }

    const Branch* branch(const QString& orgCode) const;
    const Customer* customer(const QString& custid) const;

    // The account a login names: input type "C" customer number, "Z" capital
    // account, or a market code "0", "1", "2", "3", "6", "7" with a shareholder
    // account of that market. Leading zeros do not count.
    struct Account {
        const Customer* customer = nullptr;
        QString fundId; // the capital account the login works with
    };
    std::optional<Account> findAccount(
        const QString& inputType, const QString& inputId, BrokerError* error = nullptr) const;

    // The display name of a market ("~market").
    static QString marketName(qint32 market);

    // --- Captchas, one per session key (the TC session in lower case) ---
    struct Captcha {
        QString id; // the "code" field: names the captcha, never its text
        QString code; // the digits on the image
        QByteArray png;
    };
    Captcha issueCaptcha(const QString& key);
    // Takes the key's captcha (each serves one attempt) and compares the check
    // word with it, ignoring case.
    std::optional<BrokerError> checkCaptcha(const QString& key, const QString& checkword);
    std::optional<QString> captchaCode(const QString& key) const;
    // The text of the captcha issued last, for tests that play the user.
    QString lastCaptchaCode() const { return lastCaptchaCode_; }

    // Whether a login of the customer needs a token code.
    bool tokenRequired(const Customer& customer) const;

    // --- The common prefix ---
    // Opens a login: a new ticket and the prefix that carries it,
    // "custid=…&custorgid=…&orgid=…&fundid=…&ticket=…&trdpwd=…&netaddr=…"
    // with "netaddr" last, as the client rewrites everything behind it.
    QString openLogin(
        const Customer& customer, const QString& fundId, const QString& password, const QString& netaddr);
    // The prefix of the customer's newest login (a new one when there is none).
    QString currentLogin(const Customer& customer, const QString& password);
    // The customer a request body's prefix belongs to: its "ticket" must be
    // one handed out to that "custid", its "trdpwd" the customer's password and
    // its "fundid", when present, one of the customer's capital accounts.
    const Customer* authenticate(const TCHttpForm::Pairs& body, BrokerError* error = nullptr) const;
    qsizetype ticketCount() const { return tickets_.size(); }

    // Replace a customer's trade password (hashed with a fresh salt) or
    // reserved greeting; false for an unknown customer.
    bool setPassword(const QString& custid, const QString& password);
    bool setPrompt(const QString& custid, const QString& prompt);

    // Records a login now and answers the one before it.
    LastLogin recordLogin(const Customer& customer, const QString& netaddr);
    // The clock of the last-login times (an instant, shown in China time); a
    // test may fix it.
    void setClock(std::function<QDateTime()> clock);

    // --- Test controls ---
    // The "menu_version" the application login announces from now on, so
    // that the client fetches the menu again. Owner thread only.
    void setMenuVersion(const QString& version) { data_.menuVersion = version; }
    // The next `count` application logins answer 90001.
    void answer90001Next(int count = 1);
    // Consumes one armed 90001; false when none is armed.
    bool take90001();
    void setCaptchaRequired(bool required);
    bool captchaRequired() const;
    // true: every login needs a token code; false: none does; nullopt: as the
    // branch and customer data say.
    void setTokenRequired(std::optional<bool> required);
    void clearControls();

private:
    struct Ticket {
        QString custid;
        QString fundId;
        QString netaddr;
    };
    Customer* mutableCustomer(const QString& custid);
    void rebuildIndexes();
    void remember(std::deque<QString>& order, qsizetype max, const QString& key, bool isTicket);

    BrokerData data_;
    QHash<QString, qsizetype> byCustid_; // keys without leading zeros
    QHash<QString, qsizetype> byFundid_;
    QHash<QString, qsizetype> bySecuid_; // "market/SECUID"

    QHash<QString, Captcha> captchas_;
    std::deque<QString> captchaOrder_;
    QString lastCaptchaCode_;
    QHash<QString, Ticket> tickets_;
    std::deque<QString> ticketOrder_;
    QHash<QString, QString> newestTicket_; // custid -> ticket
    std::function<QDateTime()> clock_;

    mutable QMutex controlsMutex_;
    int appLogin90001_ = 0;
    std::optional<bool> captchaOverride_;
    std::optional<bool> tokenOverride_;
};

} // namespace brokersim
