#include "BRX_Logic_SettingsGuard.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Logic_CameraLens.h"
#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_CameraSettingsFactory.h"
#include "BRX_Logic_FolderSettings.h"
#include "BRX_Logic_SettingsChanges.h"

#include <utility>

namespace {

const int kStorageTypeWhileConnected = 2;

}  // namespace

BRX_Logic_SettingsGuard::BRX_Logic_SettingsGuard(BRX_Commu_CameraAccess_Base* access,
                                                 BRX_Logic_DeviceInfo* deviceInfo, bool structProduct,
                                                 Dispatch dispatch)
    : m_structProduct(structProduct)
    , m_dispatch(std::move(dispatch))
{
    std::lock_guard<std::recursive_mutex> locker(m_lock);
    m_folderSettings = new BRX_Logic_FolderSettings;
    createSettings(access, deviceInfo);
    takeOverStorageAndPowerOff();
    m_lens = new BRX_Logic_CameraLens(access);
}

BRX_Logic_SettingsGuard::~BRX_Logic_SettingsGuard()
{
    std::lock_guard<std::recursive_mutex> locker(m_lock);
    delete m_lens;
    if (m_settings)
        m_settings->exit();
    delete m_settings;
    delete m_folderSettings;
}

void BRX_Logic_SettingsGuard::createSettings(BRX_Commu_CameraAccess_Base* access,
                                             BRX_Logic_DeviceInfo* deviceInfo)
{
    m_settings = BRX_Logic_CameraSettingsFactory::create(access, deviceInfo);
    m_settings->init();
    // Struct records read their block when they are built; a device-property
    // record starts empty and would answer zeros until the first change.
    if (!m_structProduct)
        m_settings->recvFromCamera(nullptr);
}

// Pictures go to the host, not to the camera's card, and the camera must not
// fall asleep while tethered; both are put back when the host closes.
void BRX_Logic_SettingsGuard::takeOverStorageAndPowerOff()
{
    // What is saved here goes back to the camera at close: it must be the
    // camera's own, so a failed first read is tried once more.
    if (!m_settings->holdsCameraValues())
        m_settings->recvFromCamera(nullptr);
    if (!m_settings->holdsCameraValues()) {
        debugPrint(kDebugAlways, "%s - camera settings unknown, storage type and auto power-off left as they are",
                   BRX_METHOD);
        return;
    }
    if (m_settings->hasStorageType()) {
        m_savedStorageType = m_settings->storageType();
        if (m_savedStorageType != kStorageTypeWhileConnected)
            m_settings->setStorageType(kStorageTypeWhileConnected);
    }
    if (m_structProduct) {
        m_savedAutoPowerOff = m_settings->autoPowerOff();
        m_settings->setAutoPowerOff(0);
    }
    m_settings->sendIfChanged();
}

bool BRX_Logic_SettingsGuard::sendIfChanged(BRX_Logic_CameraSettingsBase& settings)
{
    return settings.sendIfChanged();
}

bool BRX_Logic_SettingsGuard::recordHas(const char* caller, bool (BRX_Logic_CameraSettingsBase::*has)() const) const
{
    return withSettings(caller, false, [has](BRX_Logic_CameraSettingsBase& settings) { return (settings.*has)(); });
}

// The lock is let go before the changes go out.
void BRX_Logic_SettingsGuard::receiveAndDispatch(const char* caller, int propertyCode)
{
    BRX_Logic_SettingsChanges changes;
    changes.clear();
    const bool received = withSettings(caller, false, [&](BRX_Logic_CameraSettingsBase& settings) {
        if (propertyCode < 0)
            settings.recvFromCamera(&changes);
        else
            settings.recvFromCamera(quint16(propertyCode), &changes);
        return true;
    });
    if (received)
        m_dispatch(changes);
}

void BRX_Logic_SettingsGuard::refreshIfStale(const char* caller)
{
    bool stale;
    {
        std::lock_guard<std::recursive_mutex> locker(m_lock);
        stale = m_settings && !m_settings->holdsCameraValues();
    }
    if (stale)
        receiveAndDispatch(caller, -1);
}

bool BRX_Logic_SettingsGuard::swapStorageType(int type, int& previous)
{
    return writeSettings(__PRETTY_FUNCTION__, [type, &previous](BRX_Logic_CameraSettingsBase& settings) {
        if (!settings.hasStorageType())
            return;
        previous = settings.storageType();
        settings.setStorageType(type);
    });
}

void BRX_Logic_SettingsGuard::restoreAutoPowerOff()
{
    if (!m_settings || m_savedAutoPowerOff < 0)
        return;
    writeSettings(__PRETTY_FUNCTION__, [this](BRX_Logic_CameraSettingsBase& settings) {
        settings.setAutoPowerOff(m_savedAutoPowerOff);
    });
}

void BRX_Logic_SettingsGuard::restoreStorageType()
{
    if (!m_settings || m_savedStorageType < 0)
        return;
    int replaced = -1;
    swapStorageType(m_savedStorageType, replaced);
}

int BRX_Logic_SettingsGuard::fileFormat() const
{
    std::lock_guard<std::recursive_mutex> locker(m_lock);
    return m_settings ? m_settings->fileFormat() : -1;
}
