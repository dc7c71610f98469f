#ifndef FAKECAMERAACCESS_H
#define FAKECAMERAACCESS_H

#include "BRX_Commu_CameraAccess_Base.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QVector>

// A scripted transport for protocol tests. It records every transaction and
// answers each from a script: per operation code (optionally narrowed to the
// first parameter, e.g. a device-property code) a queue of answers. Each
// transaction takes the head of its queue; the last answer keeps repeating
// until new answers are scripted. Unscripted operations succeed without data.
class FakeCameraAccess : public BRX_Commu_CameraAccess_Base
{
    Q_OBJECT
public:
    enum Direction { NoData, DataIn, DataOut };

    struct Transaction
    {
        quint16 opCode;
        QVector<quint32> params;
        Direction direction;
        QByteArray sent;     // data phase to the camera
        quint32 bufferSize;  // bytes asked for or sent in the data phase
        QString methodName;  // label passed by the caller
    };

    struct Answer
    {
        QByteArray data;             // data phase from the camera
        quint16 responseCode = 0x2001;
    };
    static Answer ok(const QByteArray& data = QByteArray()) { return Answer{data, 0x2001}; }
    static Answer fail(quint16 responseCode = 0x2002) { return Answer{QByteArray(), responseCode}; }

    explicit FakeCameraAccess(int productId = 0, int connectionType = kConnectionSimulated);

    void script(quint16 opCode, const Answer& answer);
    void script(quint16 opCode, quint32 firstParam, const Answer& answer);

    QList<Transaction> transactions;
    void setProductId(int productId) { m_productId = productId; }

    // Protected parts of the base that tests drive directly.
    using BRX_Commu_CameraAccess_Base::releaseCamImpl;
    using BRX_Commu_CameraAccess_Base::timeoutDevicePropertyChanged;

    bool openConnection(quint64 cameraId, int productId, QString deviceId) override;
    bool closeConnection() override;
    bool recvData(quint32 opCode, quint32 numParams, const quint32* params, void* buffer,
                  quint32 bufferSize, const char* methodName, quint32* received = nullptr) override;
    bool sendCommand(quint32 opCode, quint32 numParams, const quint32* params,
                     const char* methodName) override;
    bool sendData(quint32 opCode, quint32 numParams, const quint32* params, const void* buffer,
                  quint32 bufferSize, const char* methodName) override;

public slots:
    bool checkDeviceAvailable() override { return false; }

private:
    typedef QPair<quint32, qint64> Key;  // opcode, first parameter or -1 for any
    Answer nextAnswer(quint32 opCode, quint32 numParams, const quint32* params);
    Answer record(quint32 opCode, quint32 numParams, const quint32* params, Direction direction,
                  const QByteArray& sent, quint32 bufferSize, const char* methodName);

    struct Queue
    {
        QList<Answer> answers;
        bool lastAnswerUsed = false;
    };
    void append(const Key& key, const Answer& answer);

    QHash<Key, Queue> m_script;
};

#endif
