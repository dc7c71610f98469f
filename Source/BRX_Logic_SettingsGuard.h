#ifndef BRX_LOGIC_SETTINGSGUARD_H
#define BRX_LOGIC_SETTINGSGUARD_H

#include "BRX_Debug.h"

#include <functional>
#include <mutex>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_CameraLens;
class BRX_Logic_CameraSettingsBase;
class BRX_Logic_DeviceInfo;
class BRX_Logic_FolderSettings;
struct BRX_Logic_SettingsChanges;

// The settings record, the lens data and the folder settings of one camera
// behind the one lock that guards them: the host's thread reads and writes
// them through the camera model's facade while the camera model's thread
// refreshes them and transfer threads name pictures. The lock is held only
// around an object and its camera exchange, never while changes are
// dispatched or the host's callbacks run.
//
// Builds the record for the camera's product and reads it, takes over the
// storage type and auto power-off for the tethered session and puts them
// back on request, and reads the lens data.
class BRX_Logic_SettingsGuard
{
public:
    // Signals what a read of the camera changed in the record. Recursive
    // use is allowed: the camera model reads the new values through the guard.
    typedef std::function<void(const BRX_Logic_SettingsChanges& changes)> Dispatch;

    // access must be open and know its product; access and deviceInfo are
    // not owned and must outlive the guard. structProduct: the product keeps
    // its settings as one block, which the record reads when it is built,
    // and its auto power-off is taken over too.
    BRX_Logic_SettingsGuard(BRX_Commu_CameraAccess_Base* access, BRX_Logic_DeviceInfo* deviceInfo,
                            bool structProduct, Dispatch dispatch);
    ~BRX_Logic_SettingsGuard();
    BRX_Logic_SettingsGuard(const BRX_Logic_SettingsGuard&) = delete;
    BRX_Logic_SettingsGuard& operator=(const BRX_Logic_SettingsGuard&) = delete;

    // Runs access on the object under the lock; without the object logs
    // "no <what>" for the caller (a __PRETTY_FUNCTION__) and returns fallback.
    template <typename Object, typename R, typename F>
    R with(Object* object, const char* what, const char* caller, R fallback, F access) const;
    template <typename R, typename F>
    R withSettings(const char* caller, R fallback, F access) const;
    template <typename R, typename F>
    R withLens(const char* caller, R fallback, F access) const;
    template <typename R, typename F>
    R withFolderSettings(const char* caller, R fallback, F access) const;
    // Runs write on the record and sends what it changed; whether the camera
    // took it (false without a record). A record whose last read failed is
    // read again, its changes dispatched, before anything is written from it.
    template <typename F>
    bool writeSettings(const char* caller, F write);
    // Whether the record offers the capability; logs for the caller without one.
    bool recordHas(const char* caller, bool (BRX_Logic_CameraSettingsBase::*has)() const) const;

    // Reads the record from the camera, all of it (propertyCode < 0) or one
    // property, and dispatches what changed.
    void receiveAndDispatch(const char* caller, int propertyCode);
    // When the record has a storage type: previous = the one it holds, then
    // type is written and sent; whether the camera took it.
    bool swapStorageType(int type, int& previous);
    // Put back what the tethered session took over, before the camera is dropped.
    void restoreAutoPowerOff();
    void restoreStorageType();
    // The record's file format; -1 without a record.
    int fileFormat() const;

    BRX_Logic_FolderSettings* folderSettings() const { return m_folderSettings; }
    // Held by whoever uses the folder settings themselves.
    std::recursive_mutex& lock() const { return m_lock; }

private:
    void createSettings(BRX_Commu_CameraAccess_Base* access, BRX_Logic_DeviceInfo* deviceInfo);
    void takeOverStorageAndPowerOff();
    void refreshIfStale(const char* caller);
    bool sendIfChanged(BRX_Logic_CameraSettingsBase& settings);

    const bool m_structProduct;
    const Dispatch m_dispatch;
    BRX_Logic_CameraSettingsBase* m_settings = nullptr;
    BRX_Logic_CameraLens* m_lens = nullptr;
    BRX_Logic_FolderSettings* m_folderSettings = nullptr;
    int m_savedAutoPowerOff = -1;
    int m_savedStorageType = -1;
    // Recursive because the dispatch reads values through the guard.
    mutable std::recursive_mutex m_lock;
};

template <typename Object, typename R, typename F>
R BRX_Logic_SettingsGuard::with(Object* object, const char* what, const char* caller, R fallback, F access) const
{
    std::lock_guard<std::recursive_mutex> locker(m_lock);
    if (!object) {
        debugPrint(kDebugAlways, "%s - no %s", methodLabel(caller).c_str(), what);
        return fallback;
    }
    return access(*object);
}

template <typename R, typename F>
R BRX_Logic_SettingsGuard::withSettings(const char* caller, R fallback, F access) const
{
    return with(m_settings, "camera settings", caller, fallback, access);
}

template <typename R, typename F>
R BRX_Logic_SettingsGuard::withLens(const char* caller, R fallback, F access) const
{
    return with(m_lens, "lens data", caller, fallback, access);
}

template <typename R, typename F>
R BRX_Logic_SettingsGuard::withFolderSettings(const char* caller, R fallback, F access) const
{
    return with(m_folderSettings, "folder settings", caller, fallback, access);
}

template <typename F>
bool BRX_Logic_SettingsGuard::writeSettings(const char* caller, F write)
{
    refreshIfStale(caller);
    return withSettings(caller, false, [&](BRX_Logic_CameraSettingsBase& settings) {
        write(settings);
        return sendIfChanged(settings);
    });
}

#endif
