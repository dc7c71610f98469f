#ifndef BRX_COMMU_PTPTRANSACTION_H
#define BRX_COMMU_PTPTRANSACTION_H

#include <QDeadlineTimer>
#include <QtGlobal>

// One PTP transaction as a host link runs it, and the rules every PTP
// transport (USB bulk pipes, TCP) follows around it: how long it waits for
// an answer, which operations a camera may be slow to begin answering, and
// how often Device Busy is worth repeating the whole transaction.
//
// For kDataIn, buffer is zeroed over size bytes and then receives
// min(size, sent) bytes; for kDataOut its size bytes are sent. patient: the
// device may take patientAnswerMs to begin its answer. name labels the log
// lines and must outlive the transaction.
struct BRX_Commu_PtpTransaction {
    enum Direction { kNoData, kDataIn, kDataOut };

    quint16 opCode;
    quint32 numParams;
    const quint32* params;
    Direction direction;
    quint8* buffer;
    quint32 size;
    bool patient;
    const char* name;

    // A transaction of opCode, patient as isPatient says; size counts only
    // with a buffer.
    static BRX_Commu_PtpTransaction make(quint32 opCode, quint32 numParams, const quint32* params,
                                         Direction direction, void* buffer, quint32 size, const char* name);

    // How long a link waits, in milliseconds: time without progress, and
    // for a network link also the overall limits of each phase, so that a
    // peer that keeps trickling cannot hold a transaction for ever.
    struct Timeouts {
        int firstAnswerMs = 5000;    // from the command to the device's first bytes
        int patientAnswerMs = 30000; // the same for operations a camera may take long over
        int progressMs = 5000;       // without a byte moving, once the answer has begun
        int settleMs = 3000;         // for the device to report ready after Cancel or a reset
        int quietMs = 200;           // of silence that ends a drain
        int handshakeMs = 10000;     // network: for a connection's handshake, once connected
        // Network: the slowest a data phase may be; it may last progressMs
        // plus its size at this rate.
        int minBytesPerSecond = 64 * 1024;
    };

    // The timeouts of links created from now on (tests shorten them). Any thread.
    static void setDefaultTimeouts(const Timeouts& timeouts);
    static Timeouts defaultTimeouts();

    // Releases, settings writes (while the camera is busy) and the first data
    // of a large object may take patientAnswerMs to begin.
    static bool isPatient(quint16 opCode);

    // Whether the response code is OK; logs "successful" (flag 0x1) or the
    // code (flag 0) under name.
    static bool isAccepted(quint16 responseCode, const char* name);
    // The same for OpenSession, which a session still open also satisfies.
    static bool isSessionOpened(quint16 responseCode, const char* name);

    // Decides, answer by answer, whether a transaction is repeated: Device
    // Busy is repeated five times (six attempts in all), 100 ms apart, and a
    // patient operation for as long as its patience lasts.
    class BusyRetry
    {
    public:
        BusyRetry(bool patient, int patientAnswerMs);
        // After a repetition's sleep true: send the transaction again.
        bool repeatAfter(quint16 responseCode);

    private:
        const bool m_patient;
        const QDeadlineTimer m_patience;
        int m_repetition = 0;
    };
};

#endif
