#pragma once

#include <QString>

class VEKTCRS;

// The subscription facts of a new issue (trade function 500 / 4), all texts
// as the server sent them; also the row of the new-issue list.
struct RDONewStock {
    RDONewStock() = default;
    // initWithTCRSObj: reads the record set's current row.
    explicit RDONewStock(const VEKTCRS* set);

    QString stockName; // "ZQMC"
    QString stockCode; // "ZQDM", the cache key
    QString stockCodeAndName; // code, a blank, name
    QString stockPrice; // "SGJG"
    QString limitUp; // "SGSX", upper subscription limit (quantity)
    QString limitDown; // "SGXX", lower subscription limit (quantity)
    QString totalVolume; // "SGZL"
    QString marketName; // "JYSMC"
    QString date; // "SGRQ"
    QString marketType; // "market"
    QString moneyType;
    QString stockType; // "stktype"
    QString priceUnit;
    QString limitDownValue; // "maxdownvalue"
    QString stopFlag;
    QString marketCalFlag; // "mtkcalflag"
    QString bondIntr;
    QString minQuantity; // "minqty"
    QString maxQuantity; // "maxstkqty"
    QString buyUnit;
    QString saleUnit;
    QString stockStatus; // "stkstatus"
    QString stockLevel; // "stklevel"
    QString quitDate;
    QString memoText;
    QString securityId; // "secuid": the shareholder account that may subscribe
};

// The facts of a warrant (trade function 500 / 205).
struct RDOWarrantInfo {
    RDOWarrantInfo() = default;
    explicit RDOWarrantInfo(const VEKTCRS* set);

    QString warrantCode; // "warrantcode"
    QString stockCode; // "stkcode", the underlying security
    QString exercisePrice; // "exerprice"
    QString marketCode; // "market"
};
