#include "core/DMRequestParamObject.h"

DMRequestParamObject::~DMRequestParamObject()
{
    requestparam::wipe(param);
}
