#ifndef BRX_LOGIC_CONTROLLER_H
#define BRX_LOGIC_CONTROLLER_H

#include <QByteArray>
#include <QObject>

class BRX_Logic_Camera;

// The object behind every export. Lives in the controller thread; getProperty,
// setProperty and setFrameCallback are also called directly from the host's
// thread.
class BRX_Logic_Controller : public QObject
{
    Q_OBJECT
public:
    typedef void (*FrameCallback)(void* context, int type, const void* data, unsigned int size);

    explicit BRX_Logic_Controller(QObject* parent = nullptr);
    ~BRX_Logic_Controller() override;

    bool getProperty(int property, void* data, unsigned int size);
    bool setProperty(int property, const void* data, unsigned int size);
    void setFrameCallback(FrameCallback function, void* context);
    // Product ID of the open camera, 0 without one.
    int getProductId() const;

signals:
    void signalCameraConnected();
    void signalCameraDisconnected();
    // data is a malloc'd copy owned by the receiver.
    void signalPropertySafe(int property, void* data, quint32 size);

public slots:
    void slotSetProperty(int property, QByteArray data);
    void doCaptureBtnPressed();
    void doCaptureBtnReleased();
    void catchCameraGUIOpened();
    void catchCameraGUIClosed();

private:
    BRX_Logic_Camera* m_camera = nullptr;
};

#endif
