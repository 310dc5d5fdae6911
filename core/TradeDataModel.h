#pragma once

#include "core/DataModel.h"

// The base of every request class whose server is the trade server: it
// sends on the factory's network 1. Also the order-like requests' lookups.
class TradeDataModel : public DataModel {
public:
    explicit TradeDataModel(QString identifier, INetworkFactory* networkCreator = nullptr);

    // getTradeBSFlag: the "bsflag" text of an order type; "" for an unknown one.
    static QString getTradeBSFlag(qint32 orderType);
    // getQueryBSFlag: the same, but order type 200 gives "S" (maximum-quantity query).
    static QString getQueryBSFlag(qint32 orderType);
    // getHKVoteTypeString: the Stock Connect vote-type code; "" for an unknown one.
    static QString getHKVoteTypeString(qint32 voteType);
};
