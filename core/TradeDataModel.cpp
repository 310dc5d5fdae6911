#include "core/TradeDataModel.h"

#include "core/INetworkFactory.h"

TradeDataModel::TradeDataModel(QString identifier, INetworkFactory* creator)
    : DataModel(std::move(identifier), creator)
{
    setNetwork(networkCreator->getNetwork(1), 1);
}

QString TradeDataModel::getTradeBSFlag(qint32 orderType)
{
    switch (orderType) {
    case 0:
        return QStringLiteral("B");
    case 1:
    case 8:
        return QStringLiteral("a");
    case 2:
    case 7:
        return QStringLiteral("b");
    case 3:
        return QStringLiteral("c");
    case 4:
        return QStringLiteral("d");
    case 5:
        return QStringLiteral("e");
    case 6:
        return QStringLiteral("q");
    case 9:
        return QStringLiteral("3m");
    case 100:
        return QStringLiteral("S");
    case 101:
    case 108:
        return QStringLiteral("f");
    case 102:
    case 107:
        return QStringLiteral("g");
    case 103:
        return QStringLiteral("h");
    case 104:
        return QStringLiteral("i");
    case 105:
        return QStringLiteral("j");
    case 106:
        return QStringLiteral("r");
    case 109:
        return QStringLiteral("3n");
    case 200:
        return QStringLiteral("7");
    case 300:
        return QStringLiteral("3B");
    case 301:
        return QStringLiteral("2B");
    case 302:
        return QStringLiteral("3S");
    case 303:
        return QStringLiteral("2S");
    case 304:
        return QStringLiteral("4S");
    default:
        return QString();
    }
}

QString TradeDataModel::getQueryBSFlag(qint32 orderType)
{
    return orderType == 200 ? QStringLiteral("S") : getTradeBSFlag(orderType);
}

QString TradeDataModel::getHKVoteTypeString(qint32 voteType)
{
    switch (voteType) {
    case 0:
        return QStringLiteral("H63");
    case 1:
        return QStringLiteral("H64");
    case 2:
        return QStringLiteral("H65");
    case 3:
        return QStringLiteral("H66");
    default:
        return QString();
    }
}
