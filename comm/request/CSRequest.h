#pragma once

#include "comm/request/CSError.h"
#include "comm/transport/VEKRequest.h"

#include <chrono>
#include <optional>

class CSNetworkObserver;

// A request filed in a network's request table.
class CSRequest : public VEKRequest {
public:
    using Clock = std::chrono::steady_clock;

    // Wait bits of the status; 0 means handed to the connection.
    enum Status : qint32 {
        WaitsForLogon = 1,
        WaitsForSession = 2,
        // Never sent: its failure is reported on the next run-loop pass.
        Failed = 0x100,
    };

    CSRequest(QString name, QByteArray data, VEKRequestObserver* observer);

    // The observer as the network calls it; nullptr when there is none, it is
    // gone, or it is no network observer.
    CSNetworkObserver* networkObserver() const;

    bool session() const { return session_; }
    void setSession(bool session) { session_ = session; }
    qint32 encoding() const { return encoding_; }
    void setEncoding(qint32 encoding) { encoding_ = encoding; }
    qint32 status() const { return status_; }
    void setStatus(qint32 status) { status_ = status; }
    quint64 mFunc() const { return mFunc_; }
    void setMFunc(quint64 value) { mFunc_ = value; }
    quint64 sFunc() const { return sFunc_; }
    void setSFunc(quint64 value) { sFunc_ = value; }
    // Seconds.
    quint64 timeout() const { return timeout_; }
    void setTimeout(quint64 seconds) { timeout_ = seconds; }
    quint64 service() const { return service_; }
    void setService(quint64 service) { service_ = service; }

    // Replies with status 100 (session expired) this request has had.
    int sessionResends() const { return sessionResends_; }
    int countSessionResend() { return ++sessionResends_; }

    // The record-set reader's code for the reply: 0 and 2 stay, all else is 1.
    qint32 encodingToVEKTCRS() const;

    // When the request's time runs out: set when it is filed.
    Clock::time_point deadline() const { return deadline_; }
    void setDeadline(Clock::time_point when) { deadline_ = when; }
    // The failure of a request that was never sent.
    const std::optional<CSError>& failure() const { return failure_; }
    void setFailure(const CSError& error)
    {
        failure_ = error;
        status_ = Failed;
    }

private:
    bool session_ = false;
    int sessionResends_ = 0;
    qint32 encoding_ = 1;
    qint32 status_ = 0;
    quint64 mFunc_ = 0;
    quint64 sFunc_ = 0;
    quint64 timeout_ = 0;
    quint64 service_ = 0;
    Clock::time_point deadline_ {};
    std::optional<CSError> failure_;
};
