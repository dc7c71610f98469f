#include "BRX_Logic_Controller.h"
#include "BRX_Debug.h"

BRX_Logic_Controller::BRX_Logic_Controller(QObject* parent)
    : QObject(parent)
{
}

BRX_Logic_Controller::~BRX_Logic_Controller() = default;

bool BRX_Logic_Controller::getProperty(int, void*, unsigned int)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return false;
    }
    return false;
}

bool BRX_Logic_Controller::setProperty(int, const void*, unsigned int)
{
    if (!m_camera) {
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return false;
    }
    return false;
}

void BRX_Logic_Controller::setFrameCallback(FrameCallback function, void* context)
{
    if (!m_camera) {
        if (function && context)
            debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
        return;
    }
}

int BRX_Logic_Controller::getProductId() const
{
    return 0;
}

void BRX_Logic_Controller::slotSetProperty(int property, QByteArray data)
{
    if (data.isEmpty())
        setProperty(property, nullptr, 0);
    else
        setProperty(property, data.constData(), unsigned(data.size()));
}

void BRX_Logic_Controller::doCaptureBtnPressed()
{
    if (!m_camera)
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
}

void BRX_Logic_Controller::doCaptureBtnReleased()
{
    if (!m_camera)
        debugPrint(kDebugAlways, "%s - no camera", BRX_METHOD);
}

void BRX_Logic_Controller::catchCameraGUIOpened()
{
}

void BRX_Logic_Controller::catchCameraGUIClosed()
{
}
