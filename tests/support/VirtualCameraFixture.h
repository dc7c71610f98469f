#ifndef VIRTUALCAMERAFIXTURE_H
#define VIRTUALCAMERAFIXTURE_H

#include <QByteArray>
#include <mutex>
#include <QVector>

#include <memory>

class BRX_Commu_CameraAccess_Usb_PTP;
class BRX_Commu_VirtualCamera;

// A virtual camera of one product, found and opened through the USB access
// exactly as the controller does it. Camera-model tests build on it. Its
// pictures are kPictureWidth wide.
class VirtualCameraFixture
{
public:
    // The width of the tests' pictures: enough for the card, quick to make.
    static const int kPictureWidth = 480;

    explicit VirtualCameraFixture(int productId);
    ~VirtualCameraFixture();

    bool isOpen() const;
    BRX_Commu_CameraAccess_Usb_PTP* access() const { return m_access; }
    BRX_Commu_VirtualCamera& device() const { return *m_device; }

    // The camera writes its pictures after the release has answered: true
    // once every picture taken is on its card (events processed meanwhile).
    bool picturesWritten(int timeoutMs = kPictureWaitMs) const;
    static const int kPictureWaitMs = 30000;

    // How often the camera has served opCode so far.
    int operationCount(quint16 opCode) const;

    // From now on the camera answers every release (0x9004) with OK, or with
    // a failure while failReleases is set, and remembers its parameters.
    void recordReleases();
    void setFailReleases(bool fail);
    QVector<QVector<quint32>> releases() const;
    void clearReleases();

    // The camera's DeviceInfo lists these operations and events instead of
    // its own (no device properties).
    void serveDeviceInfo(const QVector<quint16>& operations, const QVector<quint16>& events);
    // GetDevicePropValue answers property 0x5020 with word and refuses all
    // others; for products whose settings are no device properties.
    void serveSupportedStreams(quint32 word);
    // GetCameraSettings answers block from now on.
    void serveSettingsBlock(const QByteArray& block);

    static QByteArray deviceInfoDataset(const QVector<quint16>& operations,
                                        const QVector<quint16>& events);

private:
    std::shared_ptr<BRX_Commu_VirtualCamera> m_device;
    BRX_Commu_CameraAccess_Usb_PTP* m_access = nullptr;
    // The camera calls its handlers on whichever thread runs the transaction.
    std::shared_ptr<std::mutex> m_releasesMutex;
    std::shared_ptr<QVector<QVector<quint32>>> m_releases;
    std::shared_ptr<bool> m_failReleases;
};

#endif
