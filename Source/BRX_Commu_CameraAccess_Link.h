#ifndef BRX_COMMU_CAMERAACCESS_LINK_H
#define BRX_COMMU_CAMERAACCESS_LINK_H

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_PtpTransaction.h"

#include <mutex>
#include <string>

// A camera access whose transactions run over one PTP link (USB bulk pipes,
// TCP): the three transactions of the base, one at a time under the device
// mutex, each repeated while the camera answers Device Busy as
// BRX_Commu_PtpTransaction rules. The transport supplies the link: whether
// one is there, and one attempt of a transaction on it.
class BRX_Commu_CameraAccess_Link : public BRX_Commu_CameraAccess_Base
{
    Q_OBJECT
public:
    // A null methodName labels the log lines with the transport's class.
    bool recvData(quint32 opCode, quint32 numParams, const quint32* params, void* buffer, quint32 bufferSize,
                  const char* methodName, quint32* received = nullptr) override;
    bool sendCommand(quint32 opCode, quint32 numParams, const quint32* params, const char* methodName) override;
    bool sendData(quint32 opCode, quint32 numParams, const quint32* params, const void* buffer,
                  quint32 bufferSize, const char* methodName) override;
    quint16 lastResponseCode() const override;

protected:
    typedef BRX_Commu_PtpTransaction Transaction;

    explicit BRX_Commu_CameraAccess_Link(int connectionType);

    // The transaction, true only when the camera answered OK; the answer is
    // logged either way. received: as for recvData.
    bool run(const Transaction& transaction, quint32* received = nullptr);
    // False when no answer came; else *responseCode is the answer after the
    // repetitions Device Busy is worth. Takes the device mutex.
    bool exchange(const Transaction& transaction, quint16* responseCode, quint32* received = nullptr);

    // --- The link, always called with the device mutex held -----------------
    // Whether a transaction can go out now; a transport may log why not
    // under the transaction's name.
    virtual bool isLinkReady(const char* name) = 0;
    // One attempt of transaction: false when no answer came, after the
    // transport has dealt with what that means for its link. *received:
    // bytes of the data phase placed in the buffer.
    virtual bool attempt(const Transaction& transaction, quint16* responseCode, quint32* received) = 0;
    // How long a patient operation may keep the camera busy.
    virtual int patientAnswerMs() const = 0;

    // Serialises the transactions of the controller and transfer threads and
    // guards each transport's link; a standard mutex, so that
    // ThreadSanitizer sees what it orders.
    std::mutex m_deviceMutex;

private:
    std::string label(const char* methodName, const char* transaction) const;
};

#endif
