#pragma once

#include "core/DataModel.h"

// The base of every request class whose server is the quote server: it sends
// on the factory's network 0.
class QuoteDataModel : public DataModel {
public:
    explicit QuoteDataModel(QString identifier, INetworkFactory* networkCreator = nullptr);
};
