#pragma once

#include <QtGlobal>
#include <memory>
#include <vector>

// The order in which the process sends its requests, whom each was sent for,
// and which request the answer being handed out belongs to. After an action
// of unknown outcome, only an answer to a read sent after the outcome came
// back, for the account that sent the action, says anything of what the
// action changed: the request layer files each request here as it goes out
// and names it while its answer is handed to the observers. Main thread only,
// but for the serials.
class RequestLedger {
public:
    // One request that went out.
    struct Request {
        quint64 serial = 0; // 1 for the first the process sent; 0: it never went out
        std::weak_ptr<const void> sender; // whom it was sent for (the sender source's answer then)
    };
    // The answer being handed out.
    struct Answer {
        Request request;
        quint64 came = 0; // the serial of the last request sent when it came
    };
    using SenderSource = std::shared_ptr<const void> (*)();
    // Hears each answer of a request that went out, once every observer has:
    // its serial, and whether it came with record sets that are no error row.
    using Watch = void (*)(quint64 serial, bool withRows);

    // A request goes out: its serial, and the sender source's answer. An
    // ask recorder open hears it.
    static Request sent();
    // An ask joined `request`, still waiting: an ask recorder open hears it.
    static void joined(const Request& request);
    // The serial of the last request sent; 0 before any.
    static quint64 last();
    // The answer being handed out; null outside one.
    static const Answer* answering();

    // Who requests are sent for: the login layer names the active account.
    static void setSenderSource(SenderSource source);
    // One watch at a time; null: none.
    static void setWatch(Watch watch);
    static Watch watch();

    // For as long as it lives, `request`'s answer is being handed out; the
    // watch hears it when it ends. Nested answers restore the outer one.
    class Answering {
    public:
        Answering(const Request& request, bool withRows);
        ~Answering();
        Answering(const Answering&) = delete;
        Answering& operator=(const Answering&) = delete;

    private:
        Answer answer_;
        const Answer* outer_;
        bool withRows_;
    };

    // The serials of the requests the asks made while it is open sent or
    // joined (the innermost one open hears them).
    class AskRecorder {
    public:
        AskRecorder();
        ~AskRecorder();
        AskRecorder(const AskRecorder&) = delete;
        AskRecorder& operator=(const AskRecorder&) = delete;
        const std::vector<quint64>& serials() const { return serials_; }

    private:
        friend class RequestLedger;
        AskRecorder* outer_;
        std::vector<quint64> serials_;
    };
};
