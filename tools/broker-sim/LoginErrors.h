#pragma once

#include <QString>
#include <QtGlobal>

namespace brokersim {

// An error the broker answers with an error row: "errcode" and "ER_String".
struct BrokerError {
    qint32 code = 0;
    QString message;
};

// The error codes of the simulated broker's login and account functions.
// The client shows "ER_String" and keeps "errcode"; only 90001 means
// something to it (fetch a new terminal id and log in to the application again).
namespace errors {
inline constexpr qint32 kBadRequest = 1000; // a field missing, too long or not of its form
inline constexpr qint32 kUnknownAccount = 1001; // no such customer, capital or shareholder account
inline constexpr qint32 kWrongPassword = 1002; // trade password does not match
inline constexpr qint32 kWrongCaptcha = 1003; // check word empty or not the one on the image
inline constexpr qint32 kCaptchaExpired = 1004; // no captcha issued to this session, or already used
inline constexpr qint32 kWrongToken = 1005; // one-time token code does not match
inline constexpr qint32 kTokenMissing = 1006; // the account needs a token code and none came
inline constexpr qint32 kBadInputType = 1007; // input type none of C, Z, 0, 1, 2, 3, 6, 7
inline constexpr qint32 kWrongBranch = 1008; // shareholder account of another branch than the chosen one
inline constexpr qint32 kLoginExpired = 1010; // common prefix with an unknown ticket or another customer
inline constexpr qint32 kUnknownFundAccount = 1011; // prefix names a capital account not the customer's
inline constexpr qint32 kTerminalIdUnknown = 90001; // application login with an unknown terminal id
} // namespace errors

// The error of a code with the broker's message for it.
inline BrokerError brokerError(qint32 code)
{
    switch (code) {
    case errors::kBadRequest:
        return { code, QStringLiteral("请求参数错误") };
    case errors::kUnknownAccount:
        return { code, QStringLiteral("账户不存在，请检查账号和账户类型") };
    case errors::kWrongPassword:
        return { code, QStringLiteral("交易密码错误") };
    case errors::kWrongCaptcha:
        return { code, QStringLiteral("验证码错误，请重新输入") };
    case errors::kCaptchaExpired:
        return { code, QStringLiteral("验证码已失效，请刷新验证码") };
    case errors::kWrongToken:
        return { code, QStringLiteral("动态口令错误") };
    case errors::kTokenMissing:
        return { code, QStringLiteral("该账户需要动态口令，请输入动态口令") };
    case errors::kBadInputType:
        return { code, QStringLiteral("不支持的账户类型") };
    case errors::kWrongBranch:
        return { code, QStringLiteral("账户不属于所选营业部") };
    case errors::kLoginExpired:
        return { code, QStringLiteral("登录已失效，请重新登录") };
    case errors::kUnknownFundAccount:
        return { code, QStringLiteral("资金账号不存在") };
    case errors::kTerminalIdUnknown:
        return { code, QStringLiteral("终端标识无效或已过期，请重新获取") };
    default:
        return { code, QStringLiteral("未知错误") };
    }
}

// The same error with a detail after the message ("请求参数错误：缺少utid").
inline BrokerError brokerError(qint32 code, const QString& detail)
{
    BrokerError e = brokerError(code);
    e.message += QStringLiteral("：") + detail;
    return e;
}

} // namespace brokersim
