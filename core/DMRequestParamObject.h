#pragma once

#include "core/RequestParam.h"

#include <QString>
#include <QtGlobal>

// Carries one request to request() on the main thread: the time-out in
// seconds, the request identifier ("<class identifier>|<handle>") and a copy
// of the caller's parameter record. The copy is wiped when the carrier goes,
// since it may hold passwords.
class DMRequestParamObject {
public:
    DMRequestParamObject() = default;
    ~DMRequestParamObject();
    DMRequestParamObject(const DMRequestParamObject&) = delete;
    DMRequestParamObject& operator=(const DMRequestParamObject&) = delete;

    qint64 getTimeout() const { return timeout; }
    void setTimeout(qint64 value) { timeout = value; }
    const QString& getRequestHandle() const { return requestHandle; }
    void setRequestHandle(const QString& value) { requestHandle = value; }
    const tagRequestParam& getParam() const { return param; }
    void setParam(const tagRequestParam& value) { param = value; }

private:
    qint64 timeout = 0;
    QString requestHandle;
    tagRequestParam param;
};
