#include "BRX_Logic_Camera.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_CardDelivery.h"
#include "BRX_Logic_Camera3DAxisData.h"
#include "BRX_Logic_CameraGeotackingData.h"
#include "BRX_Logic_CameraLens.h"
#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_CameraRecovery.h"
#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_DeviceInfo.h"
#include "BRX_Logic_DownloadRetry.h"
#include "BRX_Logic_FolderSettings.h"
#include "BRX_Logic_Focus.h"
#include "BRX_Logic_ImageDatabase.h"
#include "BRX_Logic_LiveView.h"
#include "BRX_Logic_PendingPictures.h"
#include "BRX_Logic_Release.h"
#include "BRX_Logic_SettingsChanges.h"
#include "BRX_Logic_SettingsGuard.h"
#include "BRX_Logic_TransferThread.h"

#include <QThread>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

const int k3DAxisPollInterval = 300;
const int kFrameTypeReleaseEnd = 11;
const int kFrameTypeReleaseRefused = 14;

}  // namespace

// --- Change dispatch -------------------------------------------------------------

template <auto Getter, auto Signal>
void BRX_Logic_Camera::emitChange()
{
    emit(this->*Signal)((this->*Getter)());
}

#define BRX_CHANGE(Flag, Getter, Signal)                                                           \
    {&BRX_Logic_SettingsChanges::Flag,                                                             \
     &BRX_Logic_Camera::emitChange<&BRX_Logic_Camera::Getter, &BRX_Logic_Camera::Signal>},
#define BRX_CHANGE_BY(Flag, Emitter) {&BRX_Logic_SettingsChanges::Flag, &BRX_Logic_Camera::Emitter},

const BRX_Logic_Camera::ChangeEntry BRX_Logic_Camera::kChangeDispatch[] = {
    BRX_CAMERA_CHANGES(BRX_CHANGE, BRX_CHANGE_BY)
};

#undef BRX_CHANGE
#undef BRX_CHANGE_BY

void BRX_Logic_Camera::emitApertureIfAvailable()
{
    if (hasAperture())
        emit signalAperture(aperture());
}

void BRX_Logic_Camera::emitFocusConfirmationEnabled()
{
    if (!focusConfirmationEnabled())
        emit signalNoFocusConfirmation();
}

// Each value is read through the facade, so the lock is held per value and
// never while a signal goes out.
void BRX_Logic_Camera::dispatchChanges(const BRX_Logic_SettingsChanges& changes)
{
    for (const ChangeEntry& entry : kChangeDispatch) {
        if (changes.*(entry.flag))
            (this->*entry.emitChange)();
    }
}

// --- Construction and destruction ---------------------------------------------

BRX_Logic_Camera::BRX_Logic_Camera(BRX_Commu_CameraAccess_Base* access, BRX_Logic_PendingPictures* pending)
    : m_access(access)
    , m_pending(pending)
{
    createRooms();
    connectRooms();
    m_imageDB.reset(new BRX_Logic_ImageDatabase(m_access));
    connect(m_imageDB.get(), &BRX_Logic_ImageDatabase::signalChangeBegin, this,
            &BRX_Logic_Camera::signalImageDBChangeBegin);
    connect(m_imageDB.get(), &BRX_Logic_ImageDatabase::signalChangeEnd, this,
            &BRX_Logic_Camera::signalImageDBChangeEnd);
    m_access->evaluateSupportsCaptureMode7();
    m_deviceInfo = new BRX_Logic_DeviceInfo(m_access);
    m_guard.reset(new BRX_Logic_SettingsGuard(m_access, m_deviceInfo, BRX_Commu_ProductFamily::hasSettingsBlock(productId()),
                                              [this](const BRX_Logic_SettingsChanges& changes) {
                                                  dispatchChanges(changes);
                                              }));
    connect(m_guard->folderSettings(), &BRX_Logic_FolderSettings::signalPictureExampleChanged, this,
            &BRX_Logic_Camera::signalPictureExampleName);
    createDataObjects();
    connectAccess();
    start3DAxisTimer();
    m_serial = m_deviceInfo->getSerialNumber();
    if (m_pending)
        createRecovery();
}

void BRX_Logic_Camera::createRecovery()
{
    m_recovery.reset(new BRX_Logic_CameraRecovery(
        *m_access, *m_pending, m_serial,
        {[this](quint32 handle) { startDownload(handle); },
         [this](int type, const void* data, unsigned int size) { callFrameCallback(type, data, size); },
         [this](int ms) { QTimer::singleShot(ms, this, &BRX_Logic_Camera::recoverPictures); }}));
    m_recoveryDue = m_recovery->isDue();
    BRX_Logic_ReleaseState* state = &m_release->state();
    connect(state, &BRX_Logic_ReleaseState::signalQuiet, this, [this] { m_recovery->releasesSettled(); });
    connect(state, &BRX_Logic_ReleaseState::signalReleaseFinished, this, [this] { m_recovery->seriesEnded(); });
    connect(m_access, &Access::signalObjectAdded, this, &BRX_Logic_Camera::catchObjectAdded, Qt::QueuedConnection);
}

// The wait for the transfer threads processes events: a recovery still
// queued must not start threads meanwhile.
BRX_Logic_Camera::~BRX_Logic_Camera()
{
    if (m_recovery)
        m_recovery->postpone();
    m_transferThreads.finishAll();
    disconnectAccess();
    m_refresh3DAxisTimer.stop();
    m_refresh3DAxisTimer.disconnect(this);
    // Ends the keep-alive.
    m_release.reset();
    if (isTransferInProgress())
        emit signalLoading(false);
    if (m_liveView->isStreaming())
        m_liveView->finishLiveViewStreaming();
    deleteDataObjects();
}

// The rooms reach the camera model only through these hooks.
void BRX_Logic_Camera::createRooms()
{
    m_release.reset(new BRX_Logic_Release(
        *m_access, m_communicationMutex,
        {[this] { return shutterTime(); },
         [this](int type, int& previous) { return m_guard->swapStorageType(type, previous); },
         [this](quint16 responseCode) {
             const qint32 code = responseCode;
             callFrameCallback(kFrameTypeReleaseRefused, &code, sizeof code);
         }}));
    m_liveView.reset(new BRX_Logic_LiveView(
        m_access, {[this] { return hasLiveView(); },
                   [this](int type, const void* data, unsigned int size) { callFrameCallback(type, data, size); },
                   [this](bool recording) { m_release->setVideoRecording(recording); }}));
    m_focus.reset(new BRX_Logic_Focus(
        *m_access, {[this] { return focusMode(); },
                    [this](const char* caller, int mode) { return storeFocusMode(caller, mode); },
                    [this](int mode) { emit signalFocusMode(mode); }}));
}

// The rooms' signals go out as the camera's own.
void BRX_Logic_Camera::connectRooms()
{
    typedef BRX_Logic_ReleaseState State;
    typedef BRX_Logic_LiveView Live;
    State* state = &m_release->state();
    connect(m_release.get(), &BRX_Logic_Release::signalIsAlive, this, &BRX_Logic_Camera::signalIsAlive);
    connect(state, &State::signalLoading, this, &BRX_Logic_Camera::signalLoading);
    connect(state, &State::signalRemainingToLoad, this, &BRX_Logic_Camera::signalRemainingToLoad);
    connect(state, &State::signalQuiet, this, [this] { setTransferInProgress(false); });
    // In the ending thread, so that the record follows the release's last file.
    connect(
        state, &State::signalReleaseFinished, this,
        [this](qint32 files) {
            if (m_wantReleaseEnd)
                callFrameCallback(kFrameTypeReleaseEnd, &files, sizeof files);
        },
        Qt::DirectConnection);
    Live* live = m_liveView.get();
    connect(live, &Live::signalLiveAudioLevel, this, &BRX_Logic_Camera::signalLiveAudioLevel);
    connect(live, &Live::signalLiveTimeCode, this, &BRX_Logic_Camera::signalLiveTimeCode);
    connect(live, &Live::signalLiveZoomInfo, this, &BRX_Logic_Camera::signalLiveZoomInfo);
    connect(live, &Live::signalLiveZoomRect, this, &BRX_Logic_Camera::signalLiveZoomRect);
    connect(live, &Live::signalLiveViewMode, this, &BRX_Logic_Camera::signalLiveViewMode);
    connect(live, &Live::signalLiveViewPhoto, this, &BRX_Logic_Camera::signalLiveViewPhoto);
    connect(live, &Live::signalLiveViewVideo, this, &BRX_Logic_Camera::signalLiveViewVideo);
    connect(live, &Live::signalNoLiveView, this, &BRX_Logic_Camera::signalNoLiveView);
}

void BRX_Logic_Camera::createDataObjects()
{
    m_downloads = new BRX_Logic_DownloadRetry(*m_access, m_deviceInfo->isOperationSupported(Access::kOpGetPartialObject));
    if (m_deviceInfo->isOperationSupported(Access::kOpGetGeotackingData))
        m_geotagging = new BRX_Logic_CameraGeotackingData(m_access);
    if (has3DAxisEvents() || m_deviceInfo->isOperationSupported(Access::kOpGet3DAxisData))
        m_axisData = new BRX_Logic_Camera3DAxisData(m_access);
}

bool BRX_Logic_Camera::has3DAxisEvents() const
{
    return m_deviceInfo->isEventSupported(Access::kVQ3DAxisDataChanged);
}

void BRX_Logic_Camera::connectAccess()
{
    connect(m_access, &Access::signalDevicePropertyChanged, this,
            &BRX_Logic_Camera::catchDevicePropertyChanged, Qt::QueuedConnection);
    connect(m_access, &Access::signal3DAxisDataChanged, this,
            &BRX_Logic_Camera::catch3DAxisDataChanged, Qt::QueuedConnection);
    connect(m_access, &Access::signalGeotackingChanged, this,
            &BRX_Logic_Camera::catchGeotackingChanged, Qt::QueuedConnection);
    connect(m_access, &Access::signalLensChanged, this, &BRX_Logic_Camera::catchLensChanged,
            Qt::QueuedConnection);
    connect(m_access, &Access::signalSettingsChanged, this,
            &BRX_Logic_Camera::catchSettingsChanged, Qt::QueuedConnection);
    connect(m_access, &Access::signalUpdateImageDB, this, &BRX_Logic_Camera::slotRebuildImageDB,
            Qt::QueuedConnection);
}

void BRX_Logic_Camera::disconnectAccess()
{
    disconnect(m_access, &Access::signalDevicePropertyChanged, this,
               &BRX_Logic_Camera::catchDevicePropertyChanged);
    disconnect(m_access, &Access::signal3DAxisDataChanged, this,
               &BRX_Logic_Camera::catch3DAxisDataChanged);
    disconnect(m_access, &Access::signalGeotackingChanged, this,
               &BRX_Logic_Camera::catchGeotackingChanged);
    disconnect(m_access, &Access::signalLensChanged, this, &BRX_Logic_Camera::catchLensChanged);
    disconnect(m_access, &Access::signalSettingsChanged, this,
               &BRX_Logic_Camera::catchSettingsChanged);
    disconnect(m_access, &Access::signalObjectAdded, this, &BRX_Logic_Camera::catchObjectAdded);
}

// A camera that announces its 3D-axis changes is read once per event; one
// that cannot is polled.
void BRX_Logic_Camera::start3DAxisTimer()
{
    connect(&m_refresh3DAxisTimer, &QTimer::timeout, this,
            &BRX_Logic_Camera::catchRefresh3DAxisData);
    if (has3DAxisEvents())
        m_refresh3DAxisTimer.setSingleShot(true);
    else if (m_deviceInfo->isOperationSupported(Access::kOpGet3DAxisData))
        m_refresh3DAxisTimer.start(k3DAxisPollInterval);
}

void BRX_Logic_Camera::deleteDataObjects()
{
    delete m_axisData;
    m_axisData = nullptr;
    delete m_geotagging;
    m_geotagging = nullptr;
    delete m_downloads;
    m_downloads = nullptr;
    m_guard.reset();
    delete m_deviceInfo;
    m_deviceInfo = nullptr;
}

int BRX_Logic_Camera::productId() const
{
    return m_access->productId();
}

// --- Timers and camera events -------------------------------------------------

void BRX_Logic_Camera::catchRefresh3DAxisData()
{
    if (isTransferInProgress()) {
        debugPrint(kDebug3DAxis, "%s - isTransferInProgress", BRX_METHOD);
        return;
    }
    if (!m_axisData || m_release->skippedForRelease(BRX_METHOD, kDebug3DAxis, "Getting 3DAxis data"))
        return;
    double pitch;
    double roll;
    {
        std::lock_guard<std::mutex> locker(m_communicationMutex);
        if (m_release->skippedForRelease(BRX_METHOD, kDebug3DAxis, "Getting 3DAxis data"))
            return;
        debugPrint(kDebug3DAxis, "%s - Getting 3DAxis data...", BRX_METHOD);
        m_axisData->recvFromCamera();
        pitch = m_axisData->getCameraPitchAngle();
        roll = m_axisData->getCameraRollAngle();
        debugPrint(kDebug3DAxis, "%s - 3DAxis Data up-to-date", BRX_METHOD);
    }
    emit signal3DAxisAngles(pitch, roll);
}

// Only a camera that announced the event is refreshed by it: restarting the
// polling timer with 0 ms would turn polling into a busy loop.
void BRX_Logic_Camera::catch3DAxisDataChanged()
{
    if (m_refresh3DAxisTimer.isSingleShot())
        m_refresh3DAxisTimer.start(0);
}

void BRX_Logic_Camera::catchGeotackingChanged()
{
    const bool received = m_guard->with(m_geotagging, "geotacking data", __PRETTY_FUNCTION__, false,
                                        [](BRX_Logic_CameraGeotackingData& geotagging) {
                                            geotagging.recvFromCamera();
                                            return true;
                                        });
    if (received)
        emit signalGeotackingChanged();
}

void BRX_Logic_Camera::catchLensChanged()
{
    const bool received = m_guard->withLens(__PRETTY_FUNCTION__, false, [](BRX_Logic_CameraLens& lens) {
        lens.recvFromCamera();
        return true;
    });
    if (received)
        emit signalLensChanged();
}

void BRX_Logic_Camera::catchSettingsChanged()
{
    m_guard->receiveAndDispatch(__PRETTY_FUNCTION__, -1);
}

// A refresh on demand; nothing in the library starts it.
void BRX_Logic_Camera::catchRefreshDevPropsTimerFired()
{
    if (isTransferInProgress()) {
        debugPrint(kDebugHousekeeping, "%s - isTransferInProgress", BRX_METHOD);
        return;
    }
    if (wantsLiveView())
        checkIfLiveViewIsActive();
    m_guard->receiveAndDispatch(__PRETTY_FUNCTION__, -1);
}

void BRX_Logic_Camera::catchDevicePropertyChanged(ushort propertyCode)
{
    // Status codes the camera reports without a setting behind them.
    if (propertyCode >= 0xD601 && propertyCode < 0xD608)
        return;
    switch (propertyCode) {
    case Access::kDevicePropSupportedStreams:
        m_liveView->catchSupportedStreamsChanged();
        break;
    case Access::kDevicePropEnabledStreams:
        m_liveView->catchEnabledStreamsChanged();
        break;
    default:
        m_guard->receiveAndDispatch(__PRETTY_FUNCTION__, propertyCode);
    }
}

// --- Release and close -------------------------------------------------------------

bool BRX_Logic_Camera::releaseCam(eVQReleaseMode releaseMode)
{
    return sendRelease(releaseMode, [this, releaseMode] { return m_release->releaseCam(releaseMode); });
}

void BRX_Logic_Camera::timeExposureEnd()
{
    sendRelease(kVQReleaseTimeExposureEnd, [this] {
        m_release->timeExposureEnd();
        return true;
    });
}

// The recovery hears of each release that makes files, so that files the
// camera writes after the link has gone are fetched when it is back. A
// release whose answer the link's end cut off may have been taken.
bool BRX_Logic_Camera::sendRelease(eVQReleaseMode releaseMode, const std::function<bool()>& send)
{
    const int files = m_recovery ? filesOfRelease(releaseMode) : 0;
    if (files != 0)
        m_recovery->releasing();
    const bool sent = send();
    if (files != 0 && (sent || m_access->hasDeparted()))
        m_recovery->released(files);
    return sent;
}

// One picture of one file, or a DNG and a JPG in pair mode; a bracket's
// pictures; a series' count is known only at its end.
int BRX_Logic_Camera::filesOfRelease(eVQReleaseMode releaseMode) const
{
    if (releaseMode == kVQReleaseSeriesStart)
        return BRX_Logic_PendingPictures::kUnknownFiles;
    if (releaseMode != kVQReleaseCapture && releaseMode != kVQReleaseTimeExposureEnd)
        return 0;
    const int format = m_guard->fileFormat();
    const int files = format == 1 || format == 2 ? 2 : 1;
    return releaseMode == kVQReleaseCapture && bracketingEnabled() ? files * bracketingImageNumbers() : files;
}

void BRX_Logic_Camera::toggleVideoCapture()
{
    if (m_guard->withSettings(__PRETTY_FUNCTION__, false, [](BRX_Logic_CameraSettingsBase&) { return true; }))
        m_release->toggleVideoCapture();
}

// --- Transfer state -------------------------------------------------------------

void BRX_Logic_Camera::transferRequest()
{
    debugPrint(kDebugTransfer, "%s - TransferRequest received in thread 0x%lx", BRX_METHOD,
               BRX_Logic_TransferThread::runningThreadNumber());
    if (m_recovery)
        m_recovery->transferRequested();
    startDownload(BRX_Logic_TransferThread::kPendingObjectHandle);
}

void BRX_Logic_Camera::startDownload(quint32 handle)
{
    auto* thread = new BRX_Logic_TransferThread(downloadContext(handle));
    connect(thread, &BRX_Logic_TransferThread::signalRemainingToLoad, this,
            &BRX_Logic_Camera::signalRemainingToLoad);
    connect(thread, &BRX_Logic_TransferThread::signalFileNameAndNumber, this,
            &BRX_Logic_Camera::signalFileNameAndNumber);
    connect(thread, &BRX_Logic_TransferThread::signalDngTransferDone, this,
            &BRX_Logic_Camera::signalDngTransferDone);
    startTransferThread(thread);
}

BRX_Logic_DownloadContext BRX_Logic_Camera::downloadContext(quint32 handle)
{
    BRX_Logic_DownloadContext context;
    context.access = m_access;
    context.handle = handle;
    context.pending = m_pending;
    context.serial = m_serial;
    context.useObjectProps = supportsObjectProps();
    context.downloads = m_downloads;
    context.transfer = &m_transfer;
    context.release = m_release.get();
    context.folders = m_guard->folderSettings();
    context.foldersLock = &m_guard->lock();
    context.fileFormat = [this] { return m_guard->fileFormat(); };
    context.sendSettings = [this] { transferDone(); };
    context.deliver = [this](int type, const void* data, unsigned int size) { callFrameCallback(type, data, size); };
    context.delivered = [this](const QString& cameraFileName) { markDelivered(cameraFileName); };
    return context;
}

void BRX_Logic_Camera::startTransferThread(QThread* thread)
{
    m_release->state().pictureAnnounced();
    m_transferThreads.start(thread);
}

void BRX_Logic_Camera::deliverFromCard(const BRX_Logic_CardListing::Entry& file)
{
    m_transferThreads.start(new BRX_Logic_CardDelivery(downloadContext(file.handle), file));
}

void BRX_Logic_Camera::markDelivered(const QString& cameraFileName)
{
    {
        std::lock_guard<std::mutex> locker(m_deliveredMutex);
        m_delivered.insert(cameraFileName);
    }
    if (m_recovery)
        m_recovery->delivered(cameraFileName);
    emit signalPictureDelivered();
}

bool BRX_Logic_Camera::wasDelivered(const QString& cameraFileName) const
{
    std::lock_guard<std::mutex> locker(m_deliveredMutex);
    return m_delivered.contains(cameraFileName);
}

bool BRX_Logic_Camera::supportsObjectProps() const
{
    return m_deviceInfo->isOperationSupported(Access::kOpGetObjectPropsSupported)
        && m_deviceInfo->isOperationSupported(Access::kOpGetObjectPropValue);
}

void BRX_Logic_Camera::transferDone()
{
    m_guard->withSettings(__PRETTY_FUNCTION__, false,
                          [](BRX_Logic_CameraSettingsBase& settings) { return settings.sendIfChanged(); });
}

void BRX_Logic_Camera::setFrameCallback(FrameCallback function, void* context)
{
    {
        std::lock_guard<std::mutex> locker(m_frameCallbackMutex);
        m_frameCallback = function;
        m_frameCallbackContext = context;
    }
    if (function && m_recoveryDue.exchange(false))
        QMetaObject::invokeMethod(this, "recoverPictures", Qt::QueuedConnection);
}

void BRX_Logic_Camera::catchObjectAdded(quint32 handle)
{
    m_recovery->objectAdded(handle);
}

void BRX_Logic_Camera::recoverPictures()
{
    m_recovery->recover();
}

void BRX_Logic_Camera::callFrameCallback(int type, const void* data, unsigned int size)
{
    FrameCallback function;
    void* context;
    {
        std::lock_guard<std::mutex> locker(m_frameCallbackMutex);
        function = m_frameCallback;
        context = m_frameCallbackContext;
    }
    if (function)
        function(context, type, data, size);
}

// --- Settings facade: plain forwards ------------------------------------------

#define BRX_CAMERA_DEFINE_CAPABILITY(Name)                                                         \
    bool BRX_Logic_Camera::Name() const                                                            \
    {                                                                                              \
        return m_guard->withSettings(__PRETTY_FUNCTION__, false,                                            \
                            [](BRX_Logic_CameraSettingsBase& settings) { return settings.Name(); }); \
    }
#define BRX_CAMERA_DEFINE_GETTER(Type, Name, RecordGetter, Default)                                \
    Type BRX_Logic_Camera::Name() const                                                            \
    {                                                                                              \
        return m_guard->withSettings(__PRETTY_FUNCTION__, Type(Default),                                    \
                            [](BRX_Logic_CameraSettingsBase& settings) -> Type {                   \
                                return settings.RecordGetter();                                    \
                            });                                                                    \
    }
#define BRX_CAMERA_DEFINE_SETTER(Name, ArgumentType, RecordSetter)                                 \
    bool BRX_Logic_Camera::Name(ArgumentType value)                                                \
    {                                                                                              \
        return m_guard->writeSettings(__PRETTY_FUNCTION__,                                                  \
                             [value](BRX_Logic_CameraSettingsBase& settings) { settings.RecordSetter(value); }); \
    }

BRX_CAMERA_CAPABILITIES(BRX_CAMERA_DEFINE_CAPABILITY)
BRX_CAMERA_GETTERS(BRX_CAMERA_DEFINE_GETTER)
BRX_CAMERA_SETTERS(BRX_CAMERA_DEFINE_SETTER)

#undef BRX_CAMERA_DEFINE_CAPABILITY
#undef BRX_CAMERA_DEFINE_GETTER
#undef BRX_CAMERA_DEFINE_SETTER

// --- Settings facade: operations with their own rules ---------------------------

bool BRX_Logic_Camera::holdsCameraValue(BRX_Logic_SettingsChanges::Flag setting) const
{
    return m_guard->withSettings(__PRETTY_FUNCTION__, true, [setting](BRX_Logic_CameraSettingsBase& settings) {
        return settings.holdsCameraValue(setting);
    });
}

bool BRX_Logic_Camera::hasFocusDistance() const
{
    return m_guard->withSettings(__PRETTY_FUNCTION__, false, [](BRX_Logic_CameraSettingsBase& settings) {
        return settings.hasFocusDistance() && settings.hasMoveLensToPos()
            && settings.hasMoveLensRightLeft();
    });
}

double BRX_Logic_Camera::shutterTime() const
{
    return m_guard->withSettings(__PRETTY_FUNCTION__, 0.0, [](BRX_Logic_CameraSettingsBase& settings) {
        return settings.exposureMode() == kVQExposureModeBulb ? -1.0 : settings.shutterTime();
    });
}

int BRX_Logic_Camera::fileFormat()
{
    int format = 0;
    const bool read = m_guard->withSettings(__PRETTY_FUNCTION__, false, [&](BRX_Logic_CameraSettingsBase& settings) {
        format = settings.fileFormat();
        return true;
    });
    if (read)
        setPictureExampleFileFormat(eVQFileFormat(format));
    return format;
}

int BRX_Logic_Camera::bracketingImageNumbers() const
{
    return m_guard->withSettings(__PRETTY_FUNCTION__, 3, [](BRX_Logic_CameraSettingsBase& settings) {
        return settings.bracketingImageNumbers() == 5 ? 5 : 3;
    });
}

bool BRX_Logic_Camera::setExposureMode(eVQExposureMode mode)
{
    if (mode < kVQExposureModeFirst || mode > kVQExposureModeLast) {
        debugPrint(kDebugAlways, "%s - illegal exposure mode %d", BRX_METHOD, int(mode));
        return false;
    }
    return m_guard->writeSettings(__PRETTY_FUNCTION__,
                         [mode](BRX_Logic_CameraSettingsBase& settings) { settings.setExposureMode(mode); });
}

// The camera may round the time it was given; read back what it took.
bool BRX_Logic_Camera::setShutterTime(double seconds)
{
    const bool taken = m_guard->writeSettings(__PRETTY_FUNCTION__, [seconds](BRX_Logic_CameraSettingsBase& settings) {
        settings.setShutterTime(seconds);
    });
    m_guard->receiveAndDispatch(__PRETTY_FUNCTION__, Access::kDevicePropExposureTime);
    return taken;
}

void BRX_Logic_Camera::setPictureExampleFileFormat(eVQFileFormat format)
{
    m_guard->withFolderSettings(__PRETTY_FUNCTION__, false, [format](BRX_Logic_FolderSettings& folder) {
        folder.setPictureExampleFileFormat(format >= 0 && format <= 2);
        return true;
    });
}

bool BRX_Logic_Camera::setWhiteBalanceIndex(uchar index)
{
    return setWhiteBalanceValue(__PRETTY_FUNCTION__, index, &BRX_Logic_CameraSettingsBase::whiteBalanceIndex,
                         &BRX_Logic_CameraSettingsBase::setWhiteBalanceIndex);
}

bool BRX_Logic_Camera::setWhiteBalanceColorTemp(uint kelvin)
{
    return setWhiteBalanceValue(__PRETTY_FUNCTION__, int(kelvin),
                         &BRX_Logic_CameraSettingsBase::whiteBalanceColorTemp,
                         &BRX_Logic_CameraSettingsBase::setWhiteBalanceColorTemp);
}

// Live view shows the old balance until it is restarted.
bool BRX_Logic_Camera::setWhiteBalanceValue(const char* caller, int value, RecordGetter get,
                                            RecordSetter set)
{
    int old = value;
    const bool taken = m_guard->writeSettings(caller, [&](BRX_Logic_CameraSettingsBase& settings) {
        old = (settings.*get)();
        (settings.*set)(value);
    });
    if (taken && value != old)
        m_liveView->restartForWhiteBalance();
    return taken;
}

bool BRX_Logic_Camera::setBracketImgNum(int count)
{
    return m_guard->writeSettings(__PRETTY_FUNCTION__, [count](BRX_Logic_CameraSettingsBase& settings) {
        settings.setBracketImgNum(count == 5 ? 5 : 3);
    });
}

bool BRX_Logic_Camera::setBracketEnabled(bool on)
{
    return m_guard->writeSettings(__PRETTY_FUNCTION__, [on](BRX_Logic_CameraSettingsBase& settings) {
        if (settings.hasBracketingAutomatic())
            settings.setBracketingAutomatic(on ? 1 : 0);
        settings.setBracketEnabled(on);
    });
}

bool BRX_Logic_Camera::storeFocusMode(const char* caller, int mode)
{
    return m_guard->writeSettings(caller, [mode](BRX_Logic_CameraSettingsBase& settings) { settings.setFocusMode(mode); });
}

bool BRX_Logic_Camera::setFocusDistance(uint position)
{
    if (!m_guard->recordHas(__PRETTY_FUNCTION__, &BRX_Logic_CameraSettingsBase::hasMoveLensToPos)) {
        debugPrint(kDebugAlways, "%s - feature MoveLensToPosition is not available", BRX_METHOD);
        return false;
    }
    return m_focus->moveLensTo(__PRETTY_FUNCTION__, position);
}

void BRX_Logic_Camera::setFocusDistanceDec()
{
    stepFocus(__PRETTY_FUNCTION__, false);
}

void BRX_Logic_Camera::setFocusDistanceInc()
{
    stepFocus(__PRETTY_FUNCTION__, true);
}

void BRX_Logic_Camera::stepFocus(const char* caller, bool increase)
{
    if (!m_guard->recordHas(caller, &BRX_Logic_CameraSettingsBase::hasMoveLensRightLeft)) {
        debugPrint(kDebugAlways, "%s - feature MoveLensRightLeft is not available", methodLabel(caller).c_str());
        return;
    }
    m_focus->stepLens(caller, increase);
}


// --- Lens and folder queries ----------------------------------------------------

double BRX_Logic_Camera::openApertureValue() const
{
    return m_guard->withLens(__PRETTY_FUNCTION__, 0.0, [](BRX_Logic_CameraLens& lens) {
        return BRX_Logic_APEXConverterAperture::fNumberFromCode(lens.getOpenApertureValue());
    });
}

double BRX_Logic_Camera::closeApertureValue() const
{
    return m_guard->withLens(__PRETTY_FUNCTION__, 0.0, [](BRX_Logic_CameraLens& lens) {
        return BRX_Logic_APEXConverterAperture::fNumberFromCode(lens.getCloseApertureValue());
    });
}

int BRX_Logic_Camera::apertureSteps() const
{
    return m_guard->withLens(__PRETTY_FUNCTION__, 0,
                    [](BRX_Logic_CameraLens& lens) { return int(lens.getApertureSteps()); });
}

int BRX_Logic_Camera::focusPositionMax() const
{
    return m_guard->withLens(__PRETTY_FUNCTION__, 0,
                    [](BRX_Logic_CameraLens& lens) { return int(lens.getFocusPositionMax()); });
}

int BRX_Logic_Camera::focusPositionMin() const
{
    return m_guard->withLens(__PRETTY_FUNCTION__, 0,
                    [](BRX_Logic_CameraLens& lens) { return int(lens.getFocusPositionMin()); });
}

#define BRX_CAMERA_FOLDER_GETTER(Type, Name, Default)                                              \
    Type BRX_Logic_Camera::Name() const                                                            \
    {                                                                                              \
        return m_guard->withFolderSettings(__PRETTY_FUNCTION__, Type(Default),                              \
                                  [](BRX_Logic_FolderSettings& folder) { return folder.Name(); }); \
    }
#define BRX_CAMERA_FOLDER_SETTER(Type, Name)                                                       \
    void BRX_Logic_Camera::Name(Type value)                                                        \
    {                                                                                              \
        m_guard->withFolderSettings(__PRETTY_FUNCTION__, false, [&](BRX_Logic_FolderSettings& folder) {     \
            folder.Name(value);                                                                    \
            return true;                                                                           \
        });                                                                                        \
    }

BRX_CAMERA_FOLDER_GETTER(QString, dngPath, QString())
BRX_CAMERA_FOLDER_GETTER(QString, jpgPath, QString())
BRX_CAMERA_FOLDER_GETTER(QString, pictureExampleFileName, QString())
BRX_CAMERA_FOLDER_GETTER(QString, pictureName, QString())
BRX_CAMERA_FOLDER_GETTER(int, pictureIndex, 0)
BRX_CAMERA_FOLDER_SETTER(QString, setDngPath)
BRX_CAMERA_FOLDER_SETTER(QString, setJpgPath)
BRX_CAMERA_FOLDER_SETTER(QString, setPictureName)
BRX_CAMERA_FOLDER_SETTER(int, setPictureIndex)

#undef BRX_CAMERA_FOLDER_GETTER
#undef BRX_CAMERA_FOLDER_SETTER

BRX_Logic_FolderSettings* BRX_Logic_Camera::folderSettings() const
{
    return m_guard->folderSettings();
}

void BRX_Logic_Camera::setWantQuickView(bool want)
{
    m_transfer.setWantQuickView(want);
    if (!want)
        emit signalNoQuickView();
}

std::unique_lock<std::mutex> BRX_Logic_Camera::lockCommunication()
{
    return std::unique_lock<std::mutex>(m_communicationMutex);
}

// --- Operations of the rooms ------------------------------------------------------

#define BRX_CAMERA_DEFINE_FORWARD(Type, Name, Parameters, Qualifier, Room, Target, Arguments)      \
    Type BRX_Logic_Camera::Name Parameters Qualifier                                               \
    {                                                                                              \
        return (Room).Target Arguments;                                                            \
    }

BRX_CAMERA_FORWARDS(BRX_CAMERA_DEFINE_FORWARD)

#undef BRX_CAMERA_DEFINE_FORWARD
