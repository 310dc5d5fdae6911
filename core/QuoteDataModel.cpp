#include "core/QuoteDataModel.h"

#include "core/INetworkFactory.h"

QuoteDataModel::QuoteDataModel(QString identifier, INetworkFactory* creator)
    : DataModel(std::move(identifier), creator)
{
    setNetwork(networkCreator->getNetwork(0), 0);
}
