#include "shell/menu/MenuLink.h"

QString getUrlFunctionString(const QString& link)
{
    const qsizetype at = link.indexOf(u'?');
    return at < 0 ? link : link.left(at);
}

QString getUrlParamString(const QString& link)
{
    const qsizetype at = link.indexOf(u'?');
    return at < 0 ? QString() : link.mid(at + 1);
}

namespace {

QString trimBlanksAndTabs(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin).toString();
}

} // namespace

std::optional<QMap<QString, QString>> analyzeUrlAndSymbolByKeys(
    const QString& paramString, const QStringList& keys)
{
    if (keys.isEmpty())
        return std::nullopt;
    QStringList lowerKeys;
    lowerKeys.reserve(keys.size());
    for (const QString& key : keys)
        lowerKeys.append(key.toLower());

    QMap<QString, QString> found;
    QString other;
    for (const QString& part : paramString.split(u'&')) {
        if (part.isEmpty())
            continue;
        const QStringList pieces = part.split(u'=');
        if (pieces.size() > 2)
            continue;
        const QString name = trimBlanksAndTabs(pieces.front().toLower());
        const qsizetype index = lowerKeys.indexOf(name);
        if (index >= 0) {
            found.insert(keys[index], pieces.size() == 2 ? pieces[1] : QString());
            continue;
        }
        if (!other.isEmpty())
            other.append(u'&');
        other.append(part);
    }
    found.insert(QString::fromLatin1(kOtherUrlKey), other);
    return found;
}
