#include "BRX_Logic_Camera.h"

#include "BRX_Commu_ByteReader.h"
#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Debug.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_Camera3DAxisData.h"
#include "BRX_Logic_CameraGeotackingData.h"
#include "BRX_Logic_CameraLens.h"
#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_CameraSettingsFactory.h"
#include "BRX_Logic_DeviceInfo.h"
#include "BRX_Logic_DownloadRetry.h"
#include "BRX_Logic_FolderSettings.h"
#include "BRX_Logic_ImageDatabase.h"
#include "BRX_Logic_ReleaseState.h"
#include "BRX_Logic_Rounding.h"
#include "BRX_Logic_SettingsChanges.h"
#include "BRX_Logic_TransferThread.h"

#include "BRX_Logic_CameraStreamInfo.h"

#include <QThread>

#include <cmath>
#include <memory>
#include <new>

namespace {

typedef BRX_Commu_CameraAccess_Base Access;

const int kKeepAliveInterval = 5000;
const int k3DAxisPollInterval = 300;
const int kStorageTypeWhileConnected = 2;
const int kStorageTypeWhileRecording = 0;
const int kFocusStep = 5;
const quint32 kIllegalFocusPosition = 0xFFFFFFFF;
const int kProductWithSwappedLensSteps = 0x2041;

const int kDefaultFrameInterval = 40;
const int kProductFocusingOnRelease = 0x2031;
const unsigned long kManualAutoFocusDuration = 1000;
// Parameters of the picture-in-picture stage.
const int kPipStart = 0;
const int kPipPreview = 1;
const int kPipEnd = 2;
const int kPipSave = 3;
const int kMinimumFrameDelay = 5;
// A live-view frame is a screen-sized picture of at most 4 MiB; a stream
// info asking for more than a few MiB beyond that is not believed, so no
// camera can make the host set aside gigabytes on every frame tick.
const quint32 kMaxStreamPacketSize = 8u << 20;
// A packet dump shows the header and the tag list; the frame's bytes say
// nothing in hex, and megabytes of them on every tick would stall the thread.
const quint64 kStreamDumpLines = 64;
// A camera that keeps sending bad packets is dumped once a second, not on
// every frame.
const qint64 kStreamDumpIntervalMs = 1000;
const int kFrameTypeLiveView = 9;
const int kFrameTypeZoomLevel = 10;
const int kFrameTypeReleaseEnd = 11;

// Live-view stream packet: two length-checked header blocks, the frame
// offset, then the tag list.
const quint32 kStreamHeaderA = 4;
const quint32 kStreamHeaderB = 10;
const quint32 kStreamFrameOffset = 16;
const quint32 kStreamTagList = 20;
const quint32 kStreamMinFrameOffset = 29;

enum StreamTag : quint32 {
    kTagEnd = 0,
    kTagIso = 1,
    kTagExposureUsec = 2,
    kTagExposureTv = 3,
    kTagZoom = 4,
    kTagImageId = 5,
    kTagAudio = 6,
    kTagTimeCode = 7,
    kTagCount = 8
};

// Zoom record words: each area is x, y, w, h.
enum ZoomWord {
    kZoomStripe = 0,
    kZoomLevel = 1,
    kZoomOuterBounds = 2,
    kZoomActiveSensor = 6,
    kZoomSourceArea = 10,
    kZoomAfCross = 14,
    kZoomWords = 16
};

// Bytes each known tag's payload must at least hold.
const quint32 kTagPayloadSize[kTagCount] = {0, 4, 4, 4, kZoomWords * 4, 4, 16, 4};

// What one packet's tag list holds; a later tag of the same type wins.
struct StreamTags
{
    bool present[kTagCount] = {};
    const quint8* payload[kTagCount] = {};
    quint32 frameOffset = 0;

    quint32 word(StreamTag tag, int index) const
    {
        BRX_Commu_ByteReader reader(payload[tag], kTagPayloadSize[tag]);
        return reader.readU32At(quint32(index) * 4);
    }
    qint32 value(StreamTag tag) const { return qint32(word(tag, 0)); }
    quint8 byte(StreamTag tag, int index) const { return payload[tag][index]; }
};

// The header checks, in the order the packet is read.
bool checkStreamHeader(const quint8* data, quint32 size, StreamTags& tags)
{
    BRX_Commu_ByteReader reader(data, size);
    if (size < 6 || 6 + quint64(reader.readU16At(kStreamHeaderA)) > size)
        return false;
    if (size < 14 || 14 + quint64(reader.readU32At(kStreamHeaderB)) > size)
        return false;
    if (size < kStreamTagList)
        return false;
    tags.frameOffset = reader.readU32At(kStreamFrameOffset);
    return tags.frameOffset >= kStreamMinFrameOffset && tags.frameOffset <= size
           && kStreamTagList + 4 <= size;
}

// Walks the tag list; every entry must lie inside the packet, none may be
// empty and the list must end with a 0 type before the packet does.
bool parseStreamPacket(const quint8* data, quint32 size, StreamTags& tags, const char* label)
{
    if (!checkStreamHeader(data, size, tags))
        return false;
    BRX_Commu_ByteReader reader(data, size);
    quint64 pos = kStreamTagList;
    while (pos + 4 <= size) {
        const quint32 type = reader.readU32At(quint32(pos));
        if (type == kTagEnd)
            return true;
        if (pos + 8 > size)
            return false;
        const quint32 length = reader.readU32At(quint32(pos + 4));
        if (length == 0 || pos + 8 + length > size)
            return false;
        if (type < kTagCount) {
            // A known tag too short for its record is as broken as one that overruns.
            if (length < kTagPayloadSize[type])
                return false;
            tags.present[type] = true;
            tags.payload[type] = data + pos + 8;
        } else {
            debugPrint(kDebugLiveView, "%s - unknown tag 0x%08lx in live view stream!", label,
                       static_cast<unsigned long>(type));
        }
        pos += 8 + length;
    }
    return false;
}

void readZoomRecord(const StreamTags& tags, quint32* zoom)
{
    for (int i = 0; i < kZoomWords; ++i)
        zoom[i] = tags.word(kTagZoom, i);
}

void logZoomArea(const char* format, const char* label, const quint32* area)
{
    debugPrint(kDebugLiveView, format, label, long(area[0]), long(area[1]), long(area[2]), long(area[3]));
}

// The focus cross relative to the image source area; axis 0 is x, 1 is y.
double relativeFocus(const quint32* zoom, int axis)
{
    const qint32 delta = qint32(zoom[kZoomAfCross + axis] - zoom[kZoomSourceArea + axis]);
    return delta / double(zoom[kZoomSourceArea + 2 + axis]);
}

// An area's offset (axis 0, 1) or extent (2, 3) relative to the outer bounds.
double relativeToOuterBounds(const quint32* zoom, int index)
{
    const double outerExtent = zoom[kZoomOuterBounds + 2 + index % 2];
    if (index >= 2)
        return zoom[kZoomSourceArea + index] / outerExtent;
    return qint32(zoom[kZoomSourceArea + index] - zoom[kZoomOuterBounds + index]) / outerExtent;
}

void logZoomRecord(const char* label, const quint32* zoom)
{
    debugPrint(kDebugLiveView, "%s - Selected Stripe            = 0x%08lx", label,
               static_cast<unsigned long>(zoom[kZoomStripe]));
    debugPrint(kDebugLiveView, "%s - Zoom Level                 = %ld", label, long(zoom[kZoomLevel]));
    logZoomArea("%s - Outer Bounds  (x, y, w, h) = %ld, %ld, %ld, %ld", label, zoom + kZoomOuterBounds);
    logZoomArea("%s - Active Sensor (x, y, w, h) = %ld, %ld, %ld, %ld", label, zoom + kZoomActiveSensor);
    logZoomArea("%s - Image SrcArea (x, y, w, h) = %ld, %ld, %ld, %ld", label, zoom + kZoomSourceArea);
    debugPrint(kDebugLiveView, "%s - AF Cross            (x, y) = %ld, %ld", label, long(zoom[kZoomAfCross]),
               long(zoom[kZoomAfCross + 1]));
    debugPrint(kDebugLiveView, "%s - --> rel. Focus Pos. (x, y) = %5.3lf, %5.3lf", label,
               relativeFocus(zoom, 0), relativeFocus(zoom, 1));
}

void logStreamTags(const char* label, const StreamTags& tags)
{
    if (tags.present[kTagIso])
        debugPrint(kDebugLiveView, "%s - ISO                        = %ld", label, long(tags.value(kTagIso)));
    if (tags.present[kTagExposureUsec])
        debugPrint(kDebugLiveView, "%s - Exposure            (usec) = %ld usec", label,
                   long(tags.value(kTagExposureUsec)));
    if (tags.present[kTagExposureTv])
        debugPrint(kDebugLiveView, "%s - Exposure              (TV) = %lf", label,
                   tags.value(kTagExposureTv) / 256.0);
    if (tags.present[kTagZoom]) {
        quint32 zoom[kZoomWords];
        readZoomRecord(tags, zoom);
        logZoomRecord(label, zoom);
    }
    if (tags.present[kTagImageId])
        debugPrint(kDebugLiveView, "%s - Image ID                   = 0x%08lx", label,
                   static_cast<unsigned long>(tags.word(kTagImageId, 0)));
    if (tags.present[kTagAudio]) {
        debugPrint(kDebugLiveView, "%s - Audio Peak Value     (L,R) = %ld, %ld", label,
                   long(tags.word(kTagAudio, 0)), long(tags.word(kTagAudio, 1)));
        debugPrint(kDebugLiveView, "%s - Audio RMS Value      (L,R) = %ld, %ld", label,
                   long(tags.word(kTagAudio, 2)), long(tags.word(kTagAudio, 3)));
    }
    if (tags.present[kTagTimeCode])
        debugPrint(kDebugLiveView, "%s - Time Code    (HH:MM:SS.FF) = %02d:%02d:%02d.%02d", label,
                   tags.byte(kTagTimeCode, 0), tags.byte(kTagTimeCode, 1), tags.byte(kTagTimeCode, 2),
                   tags.byte(kTagTimeCode, 3));
}

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

// In the order the signals go out: ascending flag index, except that the lens
// connection type follows the maximum shutter time at once.
const BRX_Logic_Camera::ChangeEntry BRX_Logic_Camera::kChangeDispatch[] = {
    BRX_CHANGE(batteryInfo, batteryInfo, signalBatteryInfo)
    BRX_CHANGE(batteryLevelIntern, batteryLevelIntern, signalBatteryLevelIntern)
    BRX_CHANGE(batteryLevelExtern, batteryLevelExtern, signalBatteryLevelExtern)
    BRX_CHANGE(maxShutterTime, maxShutterTime, signalMaxShutterTime)
    BRX_CHANGE(lensConnectionType, lensConnectionType, signalLensConnectionType)
    BRX_CHANGE(powerSwitch, powerSwitch, signalPowerSwitch)
    BRX_CHANGE(selfTimerRestTime, selfTimerRestTime, signalSelfTimerRestTime)
    BRX_CHANGE(bulbModeTime, bulbModeTime, signalBulbModeTime)
    BRX_CHANGE(driveMode, driveMode, signalDriveMode)
    BRX_CHANGE(focusMode, focusMode, signalFocusMode)
    BRX_CHANGE(exposMetering, exposMetering, signalExposMetering)
    BRX_CHANGE(exposCompens, exposCompens, signalExposCompens)
    BRX_CHANGE(exposCompensStep, exposCompensStep, signalExposCompensStep)
    BRX_CHANGE(bracketingEnabled, bracketingEnabled, signalBracketEnabled)
    BRX_CHANGE(bracketingImageNumbers, bracketingImageNumbers, signalBracketImgNum)
    BRX_CHANGE(bracketingDeltaEV, bracketingDeltaEV, signalBracketDeltaEV)
    BRX_CHANGE(mirrorUpMode, mirrorUpMode, signalMirrorUpMode)
    BRX_CHANGE(sensitivity, sensitivityAuto, signalSensitivityAuto)
    BRX_CHANGE(sensitivity, sensitivity, signalSensitivity)
    BRX_CHANGE(keyLock, keyLock, signalKeyLock)
    BRX_CHANGE(sensorFormat, sensorFormat, signalSensorFormat)
    BRX_CHANGE(photoAspectRatio, photoAspectRatio, signalPhotoAspectRatio)
    BRX_CHANGE(jpgResolution, jpgResolution, signalJpgResolution)
    BRX_CHANGE(videoFileFormat, videoFileFormat, signalVideoFileFormat)
    BRX_CHANGE(videoResAndFrRate, videoResAndFrRate, signalVideoResAndFrRate)
    BRX_CHANGE(videoFormatResol, videoFormatResol, signalVideoFormatResol)
    BRX_CHANGE(contrast, contrast, signalContrast)
    BRX_CHANGE(sharpness, sharpness, signalSharpness)
    BRX_CHANGE(saturation, saturation, signalSaturation)
    BRX_CHANGE(monochrome, monochrome, signalMonochrome)
    BRX_CHANGE(electronicShutter, electronicShutter, signalElectronicShutter)
    BRX_CHANGE(orientation, orientation, signalOrientation)
    BRX_CHANGE(audioLevel, audioLevel, signalAudioLevel)
    BRX_CHANGE(audioWindElim, audioWindElim, signalAudioWindElim)
    BRX_CHANGE(audioVolSpeaker, audioVolSpeaker, signalAudioVolSpeaker)
    BRX_CHANGE(audioVolHeadphone, audioVolHeadphone, signalAudioVolHeadphone)
    BRX_CHANGE(audioVolMicrophone, audioVolMicrophone, signalAudioVolMicrophone)
    BRX_CHANGE(exposureSimulation, exposureSimulation, signalExposureSimulation)
    BRX_CHANGE(dngCompression, dngCompression, signalDngCompression)
    BRX_CHANGE(flashStatus, flashStatus, signalFlashStatus)
    BRX_CHANGE(flashXSymbol, flashXSymbol, signalFlashXSymbol)
    BRX_CHANGE(lightBalance, lightBalance, signalLightBalance)
    BRX_CHANGE(fileFormat, fileFormat, signalFileFormat)
    BRX_CHANGE(whiteBalanceIndex, whiteBalanceIndex, signalWhiteBalance)
    BRX_CHANGE(whiteBalanceColorTemp, whiteBalanceColorTemp, signalWhiteBalTemp)
    BRX_CHANGE(jpgColorSpace, jpgColorSpace, signalJpgColorSpace)
    BRX_CHANGE(autoreviewDuration, autoreviewDuration, signalAutoreviewDuration)
    BRX_CHANGE(autoPowerOff, autoPowerOff, signalAutoPowerOff)
    BRX_CHANGE(exposureMode, exposureMode, signalExposureMode)
    BRX_CHANGE_BY(exposureMode, emitApertureIfAvailable)
    BRX_CHANGE(exposureMode, shutterTime, signalShutterTime)
    BRX_CHANGE(aperture, aperture, signalAperture)
    BRX_CHANGE(shutterTime, shutterTime, signalShutterTime)
    BRX_CHANGE(focusDistance, focusDistance, signalFocusDistance)
    BRX_CHANGE(focusConfirmation, focusConfirmation, signalFocusConfirmation)
    BRX_CHANGE_BY(focusConfirmationEnabled, emitFocusConfirmationEnabled)
    BRX_CHANGE(focusConfirmationBadSignal, focusConfirmationBadSignal, signalFocusConfirmBadSig)
    BRX_CHANGE(autoFocusLimit, autoFocusLimit, signalAutoFocusLimit)
    BRX_CHANGE(autoFocusLimitDist, autoFocusLimitDist, signalAutoFocusLimitDist)
    BRX_CHANGE(warning, warning, signalWarnings)
    BRX_CHANGE(intervalFrames, intervalFrames, signalIntervalFrames)
    BRX_CHANGE(intervalTime, intervalTime, signalIntervalTime)
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

// propertyCode < 0 re-reads all settings, otherwise the one property.
void BRX_Logic_Camera::receiveAndDispatch(const char* caller, int propertyCode)
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
        dispatchChanges(changes);
}

// --- Guarded access ------------------------------------------------------------

template <typename Object, typename R, typename F>
R BRX_Logic_Camera::withObject(Object* object, const char* what, const char* caller, R fallback,
                               F access) const
{
    std::lock_guard<std::recursive_mutex> locker(m_settingsMutex);
    if (!object) {
        debugPrint(kDebugAlways, "%s - no %s", methodLabel(caller).c_str(), what);
        return fallback;
    }
    return access(*object);
}

template <typename R, typename F>
R BRX_Logic_Camera::withSettings(const char* caller, R fallback, F access) const
{
    return withObject(m_settings, "camera settings", caller, fallback, access);
}

template <typename F>
void BRX_Logic_Camera::withSettings(const char* caller, F access) const
{
    withSettings(caller, false, [&](BRX_Logic_CameraSettingsBase& settings) {
        access(settings);
        return true;
    });
}

void BRX_Logic_Camera::refreshIfStale(const char* caller)
{
    bool stale;
    {
        std::lock_guard<std::recursive_mutex> locker(m_settingsMutex);
        stale = m_settings && !m_settings->holdsCameraValues();
    }
    if (stale)
        receiveAndDispatch(caller, -1);
}

template <typename F>
bool BRX_Logic_Camera::writeSettings(const char* caller, F write)
{
    refreshIfStale(caller);
    return withSettings(caller, false, [&](BRX_Logic_CameraSettingsBase& settings) {
        write(settings);
        return settings.sendIfChanged();
    });
}

template <typename R, typename F>
R BRX_Logic_Camera::withLens(const char* caller, R fallback, F access) const
{
    return withObject(m_lens, "lens data", caller, fallback, access);
}

template <typename R, typename F>
R BRX_Logic_Camera::withFolderSettings(const char* caller, R fallback, F access) const
{
    return withObject(m_folderSettings, "folder settings", caller, fallback, access);
}

// --- Construction and destruction ---------------------------------------------

BRX_Logic_Camera::BRX_Logic_Camera(BRX_Commu_CameraAccess_Base* access)
    : m_access(access)
{
    m_folderSettings = new BRX_Logic_FolderSettings;
    connect(m_folderSettings, &BRX_Logic_FolderSettings::signalPictureExampleChanged, this,
            &BRX_Logic_Camera::signalPictureExampleName);
    m_release = new BRX_Logic_ReleaseState([this] { return m_videoRecording; }, BRX_Logic_ReleaseState::kQuietMs, this);
    connect(m_release, &BRX_Logic_ReleaseState::signalLoading, this, &BRX_Logic_Camera::signalLoading);
    connect(m_release, &BRX_Logic_ReleaseState::signalRemainingToLoad, this, &BRX_Logic_Camera::signalRemainingToLoad);
    connect(m_release, &BRX_Logic_ReleaseState::signalQuiet, this, [this] { setTransferInProgress(false); });
    // In the ending thread, so that the record follows the release's last file.
    connect(
        m_release, &BRX_Logic_ReleaseState::signalReleaseFinished, this,
        [this](qint32 files) {
            if (m_wantReleaseEnd)
                callFrameCallback(kFrameTypeReleaseEnd, &files, sizeof files);
        },
        Qt::DirectConnection);
    m_imageDB = new BRX_Logic_ImageDatabase(m_access);
    connect(m_imageDB, &BRX_Logic_ImageDatabase::signalChangeBegin, this, &BRX_Logic_Camera::signalImageDBChangeBegin);
    connect(m_imageDB, &BRX_Logic_ImageDatabase::signalChangeEnd, this, &BRX_Logic_Camera::signalImageDBChangeEnd);
    m_access->evaluateSupportsCaptureMode7();
    m_deviceInfo = new BRX_Logic_DeviceInfo(m_access);
    createSettings();
    takeOverStorageAndPowerOff();
    createDataObjects();
    connectAccess();
    startTimers();
}

BRX_Logic_Camera::~BRX_Logic_Camera()
{
    m_transferThreads.finishAll();
    disconnectAccess();
    m_refresh3DAxisTimer.stop();
    m_keepAliveTimer.stop();
    m_refresh3DAxisTimer.disconnect(this);
    m_keepAliveTimer.disconnect(this);
    m_liveViewTimer.disconnect(this);
    if (isTransferInProgress())
        emit signalLoading(false);
    if (m_streamInfo)
        finishLiveViewStreaming();
    deleteDataObjects();
    delete m_imageDB;
}

void BRX_Logic_Camera::createSettings()
{
    std::lock_guard<std::recursive_mutex> locker(m_settingsMutex);
    m_settings = BRX_Logic_CameraSettingsFactory::create(m_access, m_deviceInfo);
    m_settings->init();
    // Struct records read their block when they are built; a device-property
    // record starts empty and would answer zeros until the first change.
    if (!BRX_Commu_ProductFamily::hasSettingsBlock(productId()))
        m_settings->recvFromCamera(nullptr);
}

// Pictures go to the host, not to the camera's card, and the camera must not
// fall asleep while tethered; both are put back when the host closes.
void BRX_Logic_Camera::takeOverStorageAndPowerOff()
{
    std::lock_guard<std::recursive_mutex> locker(m_settingsMutex);
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
    // The products with a settings block keep the camera's auto power-off,
    // which the camera model switches off meanwhile.
    if (BRX_Commu_ProductFamily::hasSettingsBlock(productId())) {
        m_savedAutoPowerOff = m_settings->autoPowerOff();
        m_settings->setAutoPowerOff(0);
    }
    m_settings->sendIfChanged();
}

void BRX_Logic_Camera::createDataObjects()
{
    std::lock_guard<std::recursive_mutex> locker(m_settingsMutex);
    m_lens = new BRX_Logic_CameraLens(m_access);
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
}

// A camera that announces its 3D-axis changes is read once per event; one
// that cannot is polled.
void BRX_Logic_Camera::startTimers()
{
    connect(&m_keepAliveTimer, &QTimer::timeout, this, &BRX_Logic_Camera::catchKeepAlive);
    connect(&m_refresh3DAxisTimer, &QTimer::timeout, this,
            &BRX_Logic_Camera::catchRefresh3DAxisData);
    connect(&m_liveViewTimer, &QTimer::timeout, this, &BRX_Logic_Camera::catchLiveViewTimerFired);
    m_keepAliveTimer.start(kKeepAliveInterval);
    if (has3DAxisEvents())
        m_refresh3DAxisTimer.setSingleShot(true);
    else if (m_deviceInfo->isOperationSupported(Access::kOpGet3DAxisData))
        m_refresh3DAxisTimer.start(k3DAxisPollInterval);
    m_liveViewTimer.setSingleShot(true);
}

void BRX_Logic_Camera::deleteDataObjects()
{
    std::lock_guard<std::recursive_mutex> locker(m_settingsMutex);
    delete m_axisData;
    m_axisData = nullptr;
    delete m_geotagging;
    m_geotagging = nullptr;
    delete m_lens;
    m_lens = nullptr;
    delete m_downloads;
    m_downloads = nullptr;
    if (m_settings)
        m_settings->exit();
    delete m_settings;
    m_settings = nullptr;
    delete m_deviceInfo;
    m_deviceInfo = nullptr;
    delete m_folderSettings;
    m_folderSettings = nullptr;
    delete[] m_zoomInfo;
    m_zoomInfo = nullptr;
}

int BRX_Logic_Camera::productId() const
{
    return m_access->productId();
}

// --- Timers and camera events -------------------------------------------------

bool BRX_Logic_Camera::skippedForRelease(const char* caller, quint32 flag, const char* what) const
{
    if (!m_release->isInProgress())
        return false;
    debugPrint(flag, "%s - %s skipped", methodLabel(caller).c_str(), what);
    return true;
}

// Also what ends a release that no other path has ended.
void BRX_Logic_Camera::catchKeepAlive()
{
    if (productId() == 0 || skippedForRelease(__PRETTY_FUNCTION__, kDebugHousekeeping, "KeepAlive"))
        return;
    bool alive;
    {
        std::lock_guard<std::mutex> locker(m_communicationMutex);
        if (skippedForRelease(__PRETTY_FUNCTION__, kDebugHousekeeping, "KeepAlive"))
            return;
        debugPrint(kDebugHousekeeping, "%s - KeepAlive sending...", BRX_METHOD);
        alive = sendStage(kVQReleaseKeepAlive);
        if (alive)
            m_release->ended();
        debugPrint(kDebugHousekeeping, "%s - KeepAlive done", BRX_METHOD);
    }
    emit signalIsAlive(alive);
}

void BRX_Logic_Camera::catchRefresh3DAxisData()
{
    if (isTransferInProgress()) {
        debugPrint(kDebug3DAxis, "%s - isTransferInProgress", BRX_METHOD);
        return;
    }
    if (!m_axisData || skippedForRelease(__PRETTY_FUNCTION__, kDebug3DAxis, "Getting 3DAxis data"))
        return;
    double pitch;
    double roll;
    {
        std::lock_guard<std::mutex> locker(m_communicationMutex);
        if (skippedForRelease(__PRETTY_FUNCTION__, kDebug3DAxis, "Getting 3DAxis data"))
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
    const bool received = withObject(m_geotagging, "geotacking data", __PRETTY_FUNCTION__, false,
                                     [](BRX_Logic_CameraGeotackingData& geotagging) {
                                         geotagging.recvFromCamera();
                                         return true;
                                     });
    if (received)
        emit signalGeotackingChanged();
}

void BRX_Logic_Camera::catchLensChanged()
{
    const bool received = withLens(__PRETTY_FUNCTION__, false, [](BRX_Logic_CameraLens& lens) {
        lens.recvFromCamera();
        return true;
    });
    if (received)
        emit signalLensChanged();
}

void BRX_Logic_Camera::catchSettingsChanged()
{
    receiveAndDispatch(__PRETTY_FUNCTION__, -1);
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
    receiveAndDispatch(__PRETTY_FUNCTION__, -1);
}

void BRX_Logic_Camera::catchDevicePropertyChanged(ushort propertyCode)
{
    // Status codes the camera reports without a setting behind them.
    if (propertyCode >= 0xD601 && propertyCode < 0xD608)
        return;
    switch (propertyCode) {
    case Access::kDevicePropSupportedStreams:
        handleSupportedStreams();
        break;
    case Access::kDevicePropEnabledStreams:
        handleEnabledStreams();
        break;
    default:
        receiveAndDispatch(__PRETTY_FUNCTION__, propertyCode);
    }
}

// The live-view mode only matters while the host wants live view.
void BRX_Logic_Camera::handleSupportedStreams()
{
    if (!wantsLiveView())
        return;
    quint32 word = 0;
    if (!readLiveViewModeWord(word, __PRETTY_FUNCTION__))
        return;
    const int mode = liveViewModeOf(word);
    emit signalLiveViewMode(mode);
    if (mode == 0) {
        finishLiveViewStreaming();
        restoreLiveViewMode();
        return;
    }
    prepareLiveViewStreaming();
    if (mode == 1)
        m_videoRecording = true;
    else if (mode == 2 || mode == 3)
        m_liveViewMode = mode;
}

// A picture-in-picture step leaves live view; go back into the mode it left.
void BRX_Logic_Camera::restoreLiveViewMode()
{
    if (m_liveViewModeToRestore == 2) {
        emit signalLiveViewVideo(false);
        sendStage(kVQReleaseLiveViewStart, 0);
    } else if (m_liveViewModeToRestore == 3) {
        emit signalLiveViewPhoto(false);
        sendStage(kVQReleaseLiveViewStart, 1);
    }
    m_liveViewModeToRestore = 0;
    m_videoRecording = false;
}

void BRX_Logic_Camera::handleEnabledStreams()
{
    quint32 streams = 0;
    if (m_access->getDevicePropEnabledStreams(streams))
        debugPrint(kDebugLiveView, "%s - enabledStreams   = 0x%08x", BRX_METHOD, streams);
    else
        debugPrint(kDebugAlways, "%s - getDevicePropEnabledStreams failed!", BRX_METHOD);
}

bool BRX_Logic_Camera::readLiveViewModeWord(quint32& word, const char* caller) const
{
    if (!m_access->getDevicePropSupportedStreams(word)) {
        debugPrint(kDebugAlways, "%s - getDevicePropSupportedStreams failed!",
                   methodLabel(caller).c_str());
        return false;
    }
    debugPrint(kDebugLiveView, "%s - supportedStreams = 0x%08x", methodLabel(caller).c_str(), word);
    return true;
}

// The upper half is the mode only when the lower half says the word is valid.
int BRX_Logic_Camera::liveViewModeOf(quint32 word)
{
    return (word & 0xFFFF) == 1 ? int(word >> 16) : 0;
}

// --- Release operations -------------------------------------------------------

bool BRX_Logic_Camera::sendStage(int stage, int param)
{
    return m_access->releaseCam(stage, param);
}

// A series start goes out under the release state's series lock, so that a
// download repeating the previous series' stop cannot overtake it.
bool BRX_Logic_Camera::releaseCam(eVQReleaseMode releaseMode)
{
    const auto send = [this, releaseMode] { return sendStage(releaseMode); };
    if (!(releaseMode == kVQReleaseSeriesStart ? m_release->startSeries(send) : send())) {
        debugPrint(kDebugAlways, "%s - releaseMode %d failed", BRX_METHOD, int(releaseMode));
        return false;
    }
    m_release->began(exposureMs());
    return true;
}

// The exposure a release starts, as far as the camera tells it (not in bulb).
int BRX_Logic_Camera::exposureMs() const
{
    const double seconds = shutterTime();
    return seconds > 0.0 ? int(qMin(seconds, 3600.0) * 1000.0) : 0;
}

bool BRX_Logic_Camera::isTimeExposureRunning() const
{
    return m_release->isTimeExposureRunning();
}

void BRX_Logic_Camera::setTimeExposureRunning(bool running)
{
    m_release->setTimeExposureRunning(running);
}

bool BRX_Logic_Camera::isReleaseInProgress() const
{
    return m_release->isInProgress();
}

bool BRX_Logic_Camera::timeExposurePrepare()
{
    return releaseCam(kVQReleaseTimeExposureStart);
}

void BRX_Logic_Camera::timeExposureStart()
{
    const bool started = releaseCam(kVQReleaseTimeExposureStart);
    if (!started)
        m_release->ended();
    m_release->setTimeExposureRunning(started);
}

void BRX_Logic_Camera::timeExposureEnd()
{
    if (releaseCam(kVQReleaseTimeExposureEnd))
        m_release->ended();
    m_release->setTimeExposureRunning(false);
}

bool BRX_Logic_Camera::serialCaptureStop()
{
    const bool stopped = m_release->stopSeries([this] { return releaseCam(kVQReleaseSeriesStop); });
    if (stopped)
        m_release->ended();
    return stopped;
}

void BRX_Logic_Camera::repeatSeriesStop()
{
    m_release->repeatStop([this] { return releaseCam(kVQReleaseSeriesStop); });
}

void BRX_Logic_Camera::restoreAutoPowerOff()
{
    if (!m_settings || m_savedAutoPowerOff < 0)
        return;
    writeSettings(__PRETTY_FUNCTION__, [this](BRX_Logic_CameraSettingsBase& settings) {
        settings.setAutoPowerOff(m_savedAutoPowerOff);
    });
}

void BRX_Logic_Camera::restoreStorageType()
{
    if (!m_settings || m_savedStorageType < 0)
        return;
    writeSettings(__PRETTY_FUNCTION__, [this](BRX_Logic_CameraSettingsBase& settings) {
        if (settings.hasStorageType())
            settings.setStorageType(m_savedStorageType);
    });
}

void BRX_Logic_Camera::toggleVideoCapture()
{
    if (!withSettings(__PRETTY_FUNCTION__, false, [](BRX_Logic_CameraSettingsBase&) { return true; }))
        return;
    if (m_videoRecording)
        stopVideo();
    else
        startVideo();
}

void BRX_Logic_Camera::startVideo()
{
    if (!switchStorageTypeForVideo())
        return;
    if (!releaseCam(kVQReleaseVideoStart)) {
        restoreStorageTypeAfterVideo();
        return;
    }
    m_videoRecording = true;
}

void BRX_Logic_Camera::stopVideo()
{
    releaseCam(kVQReleaseVideoStop);
    m_videoRecording = false;
    m_release->ended();
    restoreStorageTypeAfterVideo();
}

// A recording goes to the camera's own card; false when the camera did not
// take the storage type.
bool BRX_Logic_Camera::switchStorageTypeForVideo()
{
    const bool switched = writeSettings(__PRETTY_FUNCTION__, [this](BRX_Logic_CameraSettingsBase& settings) {
        if (!settings.hasStorageType())
            return;
        m_storageTypeBeforeVideo = settings.storageType();
        settings.setStorageType(kStorageTypeWhileRecording);
    });
    if (!switched)
        m_storageTypeBeforeVideo = -1;
    return switched;
}

void BRX_Logic_Camera::restoreStorageTypeAfterVideo()
{
    if (m_storageTypeBeforeVideo < 0)
        return;
    writeSettings(__PRETTY_FUNCTION__, [this](BRX_Logic_CameraSettingsBase& settings) {
        if (settings.hasStorageType())
            settings.setStorageType(m_storageTypeBeforeVideo);
    });
    m_storageTypeBeforeVideo = -1;
}

// --- Transfer state -------------------------------------------------------------

void BRX_Logic_Camera::setTransferInProgress(bool inProgress)
{
    std::lock_guard<std::mutex> locker(m_stateMutex);
    m_transferInProgress = inProgress;
}

bool BRX_Logic_Camera::isTransferInProgress() const
{
    std::lock_guard<std::mutex> locker(m_stateMutex);
    return m_transferInProgress;
}

void BRX_Logic_Camera::transferRequest()
{
    debugPrint(kDebugTransfer, "%s - TransferRequest received in thread 0x%lx", BRX_METHOD,
               BRX_Logic_TransferThread::currentThreadNumber());
    startTransferThread(new BRX_Logic_TransferThread(this, supportsObjectProps()));
}

void BRX_Logic_Camera::startTransferThread(QThread* thread)
{
    m_release->pictureAnnounced();
    m_transferThreads.start(thread);
}

bool BRX_Logic_Camera::supportsObjectProps() const
{
    return m_deviceInfo->isOperationSupported(Access::kOpGetObjectPropsSupported)
        && m_deviceInfo->isOperationSupported(Access::kOpGetObjectPropValue);
}

void BRX_Logic_Camera::transferDone()
{
    withSettings(__PRETTY_FUNCTION__,
                 [](BRX_Logic_CameraSettingsBase& settings) { settings.sendIfChanged(); });
}

void BRX_Logic_Camera::setFrameCallback(FrameCallback function, void* context)
{
    std::lock_guard<std::mutex> locker(m_frameCallbackMutex);
    m_frameCallback = function;
    m_frameCallbackContext = context;
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
        return withSettings(__PRETTY_FUNCTION__, false,                                            \
                            [](BRX_Logic_CameraSettingsBase& settings) { return settings.Name(); }); \
    }
#define BRX_CAMERA_DEFINE_GETTER(Type, Name, RecordGetter, Default)                                \
    Type BRX_Logic_Camera::Name() const                                                            \
    {                                                                                              \
        return withSettings(__PRETTY_FUNCTION__, Type(Default),                                    \
                            [](BRX_Logic_CameraSettingsBase& settings) -> Type {                   \
                                return settings.RecordGetter();                                    \
                            });                                                                    \
    }
#define BRX_CAMERA_DEFINE_SETTER(Name, ArgumentType, RecordSetter)                                 \
    bool BRX_Logic_Camera::Name(ArgumentType value)                                                \
    {                                                                                              \
        return writeSettings(__PRETTY_FUNCTION__,                                                  \
                             [value](BRX_Logic_CameraSettingsBase& settings) { settings.RecordSetter(value); }); \
    }

BRX_CAMERA_CAPABILITIES(BRX_CAMERA_DEFINE_CAPABILITY)
BRX_CAMERA_GETTERS(BRX_CAMERA_DEFINE_GETTER)
BRX_CAMERA_SETTERS(BRX_CAMERA_DEFINE_SETTER)

#undef BRX_CAMERA_DEFINE_CAPABILITY
#undef BRX_CAMERA_DEFINE_GETTER
#undef BRX_CAMERA_DEFINE_SETTER

// --- Settings facade: operations with their own rules ---------------------------

bool BRX_Logic_Camera::hasFocusDistance() const
{
    return withSettings(__PRETTY_FUNCTION__, false, [](BRX_Logic_CameraSettingsBase& settings) {
        return settings.hasFocusDistance() && settings.hasMoveLensToPos()
            && settings.hasMoveLensRightLeft();
    });
}

double BRX_Logic_Camera::shutterTime() const
{
    return withSettings(__PRETTY_FUNCTION__, 0.0, [](BRX_Logic_CameraSettingsBase& settings) {
        return settings.exposureMode() == kVQExposureModeBulb ? -1.0 : settings.shutterTime();
    });
}

int BRX_Logic_Camera::fileFormat()
{
    int format = 0;
    const bool read = withSettings(__PRETTY_FUNCTION__, false, [&](BRX_Logic_CameraSettingsBase& settings) {
        format = settings.fileFormat();
        return true;
    });
    if (read)
        setPictureExampleFileFormat(eVQFileFormat(format));
    return format;
}

int BRX_Logic_Camera::bracketingImageNumbers() const
{
    return withSettings(__PRETTY_FUNCTION__, 3, [](BRX_Logic_CameraSettingsBase& settings) {
        return settings.bracketingImageNumbers() == 5 ? 5 : 3;
    });
}

bool BRX_Logic_Camera::setExposureMode(eVQExposureMode mode)
{
    if (mode < kVQExposureModeFirst || mode > kVQExposureModeLast) {
        debugPrint(kDebugAlways, "%s - illegal exposure mode %d", BRX_METHOD, int(mode));
        return false;
    }
    return writeSettings(__PRETTY_FUNCTION__,
                         [mode](BRX_Logic_CameraSettingsBase& settings) { settings.setExposureMode(mode); });
}

// The camera may round the time it was given; read back what it took.
bool BRX_Logic_Camera::setShutterTime(double seconds)
{
    const bool taken = writeSettings(__PRETTY_FUNCTION__, [seconds](BRX_Logic_CameraSettingsBase& settings) {
        settings.setShutterTime(seconds);
    });
    receiveAndDispatch(__PRETTY_FUNCTION__, Access::kDevicePropExposureTime);
    return taken;
}

void BRX_Logic_Camera::setPictureExampleFileFormat(eVQFileFormat format)
{
    withFolderSettings(__PRETTY_FUNCTION__, false, [format](BRX_Logic_FolderSettings& folder) {
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
    const bool taken = writeSettings(caller, [&](BRX_Logic_CameraSettingsBase& settings) {
        old = (settings.*get)();
        (settings.*set)(value);
    });
    if (taken && value != old)
        restartLiveView();
    return taken;
}

void BRX_Logic_Camera::restartLiveView()
{
    quint32 word = 0;
    if (!m_access->getDevicePropSupportedStreams(word))
        return;
    const int mode = liveViewModeOf(word);
    if (mode == 2) {
        sendStage(kVQReleaseLiveViewStop, 0);
        emit signalLiveViewVideo(false);
        sendStage(kVQReleaseLiveViewStart, 0);
    } else if (mode == 3) {
        sendStage(kVQReleaseLiveViewStop, 1);
        emit signalLiveViewPhoto(false);
        sendStage(kVQReleaseLiveViewStart, 1);
    }
}

bool BRX_Logic_Camera::setBracketImgNum(int count)
{
    return writeSettings(__PRETTY_FUNCTION__, [count](BRX_Logic_CameraSettingsBase& settings) {
        settings.setBracketImgNum(count == 5 ? 5 : 3);
    });
}

bool BRX_Logic_Camera::setBracketEnabled(bool on)
{
    return writeSettings(__PRETTY_FUNCTION__, [on](BRX_Logic_CameraSettingsBase& settings) {
        if (settings.hasBracketingAutomatic())
            settings.setBracketingAutomatic(on ? 1 : 0);
        settings.setBracketEnabled(on);
    });
}

bool BRX_Logic_Camera::setFocusMode(eVQFocusMode mode)
{
    switch (mode) {
    case kVQFocusAutoSingle:
        return changeToAutoFocusSingle();
    case kVQFocusAutoContinuous:
        return changeToAutoFocusContinuous();
    case kVQFocusManual:
        return changeToManualFocus();
    default:
        debugPrint(kDebugAlways, "%s - illegal focus mode %d", BRX_METHOD, int(mode));
        return false;
    }
}

bool BRX_Logic_Camera::changeToAutoFocusSingle()
{
    return changeToAutoFocus(__PRETTY_FUNCTION__, kVQFocusAutoSingle);
}

bool BRX_Logic_Camera::changeToAutoFocusContinuous()
{
    return changeToAutoFocus(__PRETTY_FUNCTION__, kVQFocusAutoContinuous);
}

// Autofocus is stopped around the switch and started again, except on the
// product whose live view must not be interrupted by it.
bool BRX_Logic_Camera::changeToAutoFocus(const char* caller, int mode)
{
    sendStage(kVQReleaseAutoFocusStop);
    const bool taken = storeFocusMode(caller, mode);
    if (!isLiveViewActiveOn2041())
        sendStage(kVQReleaseAutoFocusStart);
    return taken;
}

bool BRX_Logic_Camera::changeToManualFocus()
{
    sendStage(kVQReleaseAutoFocusStop);
    return storeFocusMode(__PRETTY_FUNCTION__, kVQFocusManual);
}

bool BRX_Logic_Camera::storeFocusMode(const char* caller, int mode)
{
    return writeSettings(caller, [mode](BRX_Logic_CameraSettingsBase& settings) { settings.setFocusMode(mode); });
}

bool BRX_Logic_Camera::isLiveViewActiveOn2041()
{
    quint32 word = 0;
    return productId() == kProductWithSwappedLensSteps && m_access->getDevicePropSupportedStreams(word)
        && (word & 0xFFFF) == 1 && word > 0xFFFF;
}

void BRX_Logic_Camera::switchToMFMode()
{
    if (focusMode() == kVQFocusManual)
        return;
    changeToManualFocus();
    emit signalFocusMode(focusMode());
}

bool BRX_Logic_Camera::setFocusDistance(uint position)
{
    if (!withSettings(__PRETTY_FUNCTION__, false,
                      [](BRX_Logic_CameraSettingsBase& settings) { return settings.hasMoveLensToPos(); })) {
        debugPrint(kDebugAlways, "%s - feature MoveLensToPosition is not available", BRX_METHOD);
        return false;
    }
    if (position == kIllegalFocusPosition) {
        debugPrint(kDebugAlways, "%s - illegal position 0x%lx", BRX_METHOD, (unsigned long)position);
        return false;
    }
    switchToMFMode();
    sendStage(kVQReleaseAutoFocusStart);
    return sendStage(kVQReleaseLensToPosition, int(position));
}

void BRX_Logic_Camera::setFocusDistanceDec()
{
    stepFocus(__PRETTY_FUNCTION__, false);
}

void BRX_Logic_Camera::setFocusDistanceInc()
{
    stepFocus(__PRETTY_FUNCTION__, true);
}

// One product moves the lens the other way round for the same stage.
void BRX_Logic_Camera::stepFocus(const char* caller, bool increase)
{
    if (!withSettings(caller, false, [](BRX_Logic_CameraSettingsBase& settings) {
            return settings.hasMoveLensRightLeft();
        })) {
        debugPrint(kDebugAlways, "%s - feature MoveLensRightLeft is not available",
                   methodLabel(caller).c_str());
        return;
    }
    switchToMFMode();
    sendStage(kVQReleaseAutoFocusStart);
    const bool swapped = productId() == kProductWithSwappedLensSteps;
    sendStage(increase != swapped ? kVQReleaseLensStepFar : kVQReleaseLensStepNear, kFocusStep);
}

// --- Lens and folder queries ----------------------------------------------------

double BRX_Logic_Camera::openApertureValue() const
{
    return withLens(__PRETTY_FUNCTION__, 0.0, [](BRX_Logic_CameraLens& lens) {
        return BRX_Logic_APEXConverterAperture::fNumberFromCode(lens.getOpenApertureValue());
    });
}

double BRX_Logic_Camera::closeApertureValue() const
{
    return withLens(__PRETTY_FUNCTION__, 0.0, [](BRX_Logic_CameraLens& lens) {
        return BRX_Logic_APEXConverterAperture::fNumberFromCode(lens.getCloseApertureValue());
    });
}

int BRX_Logic_Camera::apertureSteps() const
{
    return withLens(__PRETTY_FUNCTION__, 0,
                    [](BRX_Logic_CameraLens& lens) { return int(lens.getApertureSteps()); });
}

int BRX_Logic_Camera::focusPositionMax() const
{
    return withLens(__PRETTY_FUNCTION__, 0,
                    [](BRX_Logic_CameraLens& lens) { return int(lens.getFocusPositionMax()); });
}

int BRX_Logic_Camera::focusPositionMin() const
{
    return withLens(__PRETTY_FUNCTION__, 0,
                    [](BRX_Logic_CameraLens& lens) { return int(lens.getFocusPositionMin()); });
}

#define BRX_CAMERA_FOLDER_GETTER(Type, Name, Default)                                              \
    Type BRX_Logic_Camera::Name() const                                                            \
    {                                                                                              \
        return withFolderSettings(__PRETTY_FUNCTION__, Type(Default),                              \
                                  [](BRX_Logic_FolderSettings& folder) { return folder.Name(); }); \
    }
#define BRX_CAMERA_FOLDER_SETTER(Type, Name)                                                       \
    void BRX_Logic_Camera::Name(Type value)                                                        \
    {                                                                                              \
        withFolderSettings(__PRETTY_FUNCTION__, false, [&](BRX_Logic_FolderSettings& folder) {     \
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

void BRX_Logic_Camera::setWantQuickView(bool want)
{
    m_wantQuickView = want;
    if (!want)
        emit signalNoQuickView();
}

// --- Live view ----------------------------------------------------------------

void BRX_Logic_Camera::setLiveViewPhoto(bool on)
{
    switchLiveView(on, 0, &BRX_Logic_Camera::signalLiveViewVideo);
}

void BRX_Logic_Camera::setLiveViewVideo(bool on)
{
    switchLiveView(on, 1, &BRX_Logic_Camera::signalLiveViewPhoto);
}

void BRX_Logic_Camera::switchLiveView(bool on, int param, void (BRX_Logic_Camera::*otherOff)(bool))
{
    if (on) {
        emit(this->*otherOff)(false);
        sendStage(kVQReleaseLiveViewStart, param);
    } else {
        sendStage(kVQReleaseLiveViewStop, param);
    }
}

void BRX_Logic_Camera::setLiveViewCrossPos(double x, double y)
{
    sendCrossPos(__PRETTY_FUNCTION__, x, y, kZoomSourceArea);
}

void BRX_Logic_Camera::setLiveViewCrossPosGlobal(double x, double y)
{
    sendCrossPos(__PRETTY_FUNCTION__, x, y, kZoomOuterBounds);
}

// The camera takes the cross in sensor coordinates, and only while no
// autofocus runs.
void BRX_Logic_Camera::sendCrossPos(const char* caller, double x, double y, int firstWord)
{
    if (!m_zoomInfo) {
        debugPrint(kDebugAlways, "%s - no zoom info", methodLabel(caller).c_str());
        return;
    }
    const quint32* area = m_zoomInfo + firstWord;
    sendStage(kVQReleaseAutoFocusStop);
    m_access->releaseCam(kVQReleaseFocusCross, int(area[0]) + int(roundHalfUp(area[2] * x)),
                         int(area[1]) + int(roundHalfUp(area[3] * y)));
}

void BRX_Logic_Camera::setLiveViewGCPipActive(bool on)
{
    if (on) {
        sendStage(kVQReleaseLiveViewWhiteBalance, kPipStart);
    } else {
        sendStage(kVQReleaseLiveViewWhiteBalance, kPipEnd);
        m_liveViewModeToRestore = m_liveViewMode;
    }
}

void BRX_Logic_Camera::doLiveViewGCPipPreview()
{
    sendStage(kVQReleaseLiveViewWhiteBalance, kPipPreview);
}

void BRX_Logic_Camera::doLiveViewGCPipSave()
{
    sendStage(kVQReleaseLiveViewWhiteBalance, kPipSave);
    m_liveViewModeToRestore = m_liveViewMode;
}

void BRX_Logic_Camera::doLiveViewAFExec()
{
    const int mode = focusMode();
    if (mode < 0)
        return;
    sendStage(kVQReleaseAutoFocusStop);
    if (mode == kVQFocusManual)
        focusOnceFromManual(__PRETTY_FUNCTION__);
    else
        sendStage(kVQReleaseAutoFocusStart);
}

// That product focuses when the button is released.
void BRX_Logic_Camera::doLiveViewAFPressed()
{
    if (productId() == kProductFocusingOnRelease)
        return;
    const int mode = focusMode();
    if (mode == kVQFocusManual)
        focusOnceFromManual(__PRETTY_FUNCTION__);
    else if (mode == kVQFocusAutoSingle || mode == kVQFocusAutoContinuous)
        sendStage(kVQReleaseAutoFocusStart);
}

void BRX_Logic_Camera::doLiveViewAFReleased()
{
    if (productId() == kProductFocusingOnRelease)
        doLiveViewAFExec();
    else if (focusMode() <= kVQFocusAutoContinuous)
        sendStage(kVQReleaseAutoFocusStop);
}

// The camera focuses only in an autofocus mode; the lens needs about a
// second before the manual mode may come back.
void BRX_Logic_Camera::focusOnceFromManual(const char* caller)
{
    storeFocusMode(caller, kVQFocusAutoSingle);
    sendStage(kVQReleaseAutoFocusStart);
    QThread::msleep(kManualAutoFocusDuration);
    sendStage(kVQReleaseAutoFocusStop);
    storeFocusMode(caller, kVQFocusManual);
}

void BRX_Logic_Camera::toggleLiveViewZoom()
{
    sendStage(kVQReleaseZoomToggle);
}

bool BRX_Logic_Camera::wantsLiveView() const
{
    std::lock_guard<std::mutex> locker(m_liveViewMutex);
    return m_wantLiveView;
}

// Held across the start or stop so that a second wish waits for the first.
void BRX_Logic_Camera::setWantLiveView(bool want)
{
    std::lock_guard<std::mutex> locker(m_liveViewMutex);
    if (want == m_wantLiveView)
        return;
    m_wantLiveView = want;
    if (!hasLiveView())
        return;
    if (want)
        checkIfLiveViewIsActive();
    else if (m_streamInfo)
        finishLiveViewStreaming();
}

void BRX_Logic_Camera::setWaitLiveViewConsumed(bool waitLiveViewConsumed)
{
    m_waitLiveViewConsumed = waitLiveViewConsumed;
}

void BRX_Logic_Camera::catchLiveViewConsumed()
{
    if (m_waitLiveViewConsumed)
        m_liveViewTimer.start(liveViewPacingDelay());
}

void BRX_Logic_Camera::checkIfLiveViewIsActive()
{
    quint32 word = 0;
    if (!readLiveViewModeWord(word, __PRETTY_FUNCTION__))
        return;
    const int mode = liveViewModeOf(word);
    emit signalLiveViewMode(mode);
    if (mode != 0) {
        if (!m_streamInfo)
            prepareLiveViewStreaming();
        if (mode == 2 || mode == 3)
            m_liveViewMode = mode;
    } else if (m_streamInfo) {
        finishLiveViewStreaming();
    }
}

bool BRX_Logic_Camera::readStreamProperty(bool (BRX_Commu_CameraAccess_Base::*get)(quint32&),
                                          const char* name, const char* label, quint32& value)
{
    if ((m_access->*get)(value))
        return true;
    debugPrint(kDebugAlways, "%s - getDeviceProp%s failed!", label, name);
    return false;
}

void BRX_Logic_Camera::prepareLiveViewStreaming()
{
    if (m_streamInfo) {
        debugPrint(kDebugLiveView, "%s - live view streaming still active", BRX_METHOD);
        return;
    }
    if (!m_access->setDevicePropEnabledStreams(1)) {
        debugPrint(kDebugAlways, "%s - setDevicePropEnabledStreams failed!", BRX_METHOD);
        return;
    }
    const std::string label = BRX_METHOD;
    quint32 format = 0;
    if (!readStreamProperty(&Access::getDevicePropStreamVideoFormat, "StreamVideoFormat", label.c_str(), format))
        return;
    debugPrint(kDebugLiveView, "%s - streamVideoFormat = %d (%c%c%c%c)", label.c_str(), int(format),
               char(format), char(format >> 8), char(format >> 16), char(format >> 24));
    quint32 rate = 0;
    if (!readStreamProperty(&Access::getDevicePropStreamVideoFrameRate, "StreamVideoFrameRate", label.c_str(),
                            rate))
        return;
    debugPrint(kDebugLiveView, "%s - streamVideoFrameRate = %d", label.c_str(), int(rate));
    quint32 resolution = 0;
    if (!readStreamProperty(&Access::getDevicePropStreamVideoResolution, "StreamVideoResolution",
                            label.c_str(), resolution))
        return;
    debugPrint(kDebugLiveView, "%s - streamVideoResolution = %d", label.c_str(), int(resolution));
    m_streamInfo = new BRX_Logic_CameraStreamInfo(m_access);
    if (!hasUsableStreamPacketSize(label.c_str())) {
        finishLiveViewStreaming();
        return;
    }
    // The rate is in thousandths of a frame per second.
    m_frameInterval = rate ? int(1000000u / rate) : kDefaultFrameInterval;
    m_liveViewTimer.start(m_frameInterval);
}

void BRX_Logic_Camera::finishLiveViewStreaming()
{
    m_liveViewTimer.stop();
    if (m_streamInfo) {
        if (!m_access->setDevicePropEnabledStreams(0))
            debugPrint(kDebugAlways, "%s - setDevicePropEnabledStreams failed!", BRX_METHOD);
        delete m_streamInfo;
        m_streamInfo = nullptr;
    } else {
        debugPrint(kDebugLiveView, "%s - live view streaming not active", BRX_METHOD);
    }
    emit signalNoLiveView();
    delete[] m_zoomInfo;
    m_zoomInfo = nullptr;
}

// The stream info sizes the packet buffer of every frame; a size that no
// frame needs turns live view off again.
bool BRX_Logic_Camera::hasUsableStreamPacketSize(const char* label) const
{
    const quint32 size = m_streamInfo->getPacketMaxSize();
    if (size <= kMaxStreamPacketSize)
        return true;
    debugPrint(kDebugAlways, "%s - stream info announces packets of %u bytes, live view stays off", label, size);
    return false;
}

// A frame is fetched at most every frame interval and at least a little
// after the previous fetch ended.
int BRX_Logic_Camera::liveViewPacingDelay() const
{
    const qint64 delay = m_frameInterval - m_frameClock.elapsed();
    return delay <= kMinimumFrameDelay ? kMinimumFrameDelay : int(delay);
}

// Failed fetches and bad packets only skip a frame; the loop goes on.
void BRX_Logic_Camera::catchLiveViewTimerFired()
{
    if (!m_streamInfo)
        return;
    m_frameClock.restart();
    const bool delivered = fetchLiveViewFrame(BRX_METHOD);
    if (m_waitLiveViewConsumed && delivered)
        return;
    m_liveViewTimer.start(liveViewPacingDelay());
}

bool BRX_Logic_Camera::fetchLiveViewFrame(const char* label)
{
    const quint32 size = m_streamInfo->getPacketMaxSize();
    std::unique_ptr<quint8[]> packet(new (std::nothrow) quint8[size]());
    if (!packet) {
        debugPrint(kDebugAlways, "%s - cannot allocate stream data packet!", label);
        return false;
    }
    if (!m_access->getStreamData(packet.get(), size)) {
        debugPrint(kDebugAlways, "%s - getStreamData failed!", label);
        return false;
    }
    StreamTags tags;
    if (!parseStreamPacket(packet.get(), size, tags, label)) {
        debugPrint(kDebugAlways, "%s - error in stream data!", label);
        dumpRejectedStreamPacket(packet.get(), size, label);
        return false;
    }
    if (isDebugFlagSet(kDebugLiveView)) {
        dumpBuffer("streamData", label, packet.get(), size, kStreamDumpLines, 0);
        logStreamTags(label, tags);
    }
    const QByteArray frame(reinterpret_cast<const char*>(packet.get() + tags.frameOffset),
                           int(size - tags.frameOffset));
    if (tags.present[kTagZoom]) {
        const qint32 zoomLevel = qint32(tags.word(kTagZoom, kZoomLevel));
        callFrameCallback(kFrameTypeZoomLevel, &zoomLevel, sizeof zoomLevel);
    }
    callFrameCallback(kFrameTypeLiveView, frame.constData(), unsigned(frame.size()));
    if (tags.present[kTagAudio])
        emit signalLiveAudioLevel(tags.word(kTagAudio, 2) / 1000.0, tags.word(kTagAudio, 3) / 1000.0,
                                  tags.word(kTagAudio, 0) / 1000.0, tags.word(kTagAudio, 1) / 1000.0);
    if (tags.present[kTagTimeCode])
        emit signalLiveTimeCode(tags.byte(kTagTimeCode, 0), tags.byte(kTagTimeCode, 1),
                                tags.byte(kTagTimeCode, 2), tags.byte(kTagTimeCode, 3));
    if (tags.present[kTagZoom]) {
        if (!m_zoomInfo)
            m_zoomInfo = new quint32[kZoomWords];
        readZoomRecord(tags, m_zoomInfo);
        emitZoomInfo();
    }
    return true;
}

void BRX_Logic_Camera::dumpRejectedStreamPacket(const quint8* packet, quint32 size, const char* label)
{
    if (m_streamDumpClock.isValid() && m_streamDumpClock.elapsed() < kStreamDumpIntervalMs)
        return;
    m_streamDumpClock.start();
    dumpBuffer("streamData", label, packet, size, kStreamDumpLines, 0);
}

void BRX_Logic_Camera::emitZoomInfo()
{
    emit signalLiveZoomInfo(int(m_zoomInfo[kZoomStripe]), int(m_zoomInfo[kZoomLevel]),
                            relativeFocus(m_zoomInfo, 0), relativeFocus(m_zoomInfo, 1));
    emit signalLiveZoomRect(relativeToOuterBounds(m_zoomInfo, 0), relativeToOuterBounds(m_zoomInfo, 1),
                            relativeToOuterBounds(m_zoomInfo, 2), relativeToOuterBounds(m_zoomInfo, 3));
}

// --- Image database -----------------------------------------------------------------

std::unique_lock<std::mutex> BRX_Logic_Camera::lockCommunication()
{
    return std::unique_lock<std::mutex>(m_communicationMutex);
}

// The image database keeps its own 3 s throttle; these are the camera's
// faces of it.
void BRX_Logic_Camera::slotRebuildImageDB()
{
    m_imageDB->rebuild();
}

void BRX_Logic_Camera::slotDelayedRebuildImageDB()
{
    m_imageDB->rebuildIfPending();
}

int BRX_Logic_Camera::imageDBCount() const
{
    return m_imageDB->count();
}

BRX_Logic_ImageEntry* BRX_Logic_Camera::imageDBEntry(int index) const
{
    return m_imageDB->entry(index);
}

int BRX_Logic_Camera::imageDBIndexOfHandle(uint handle) const
{
    return m_imageDB->indexOfHandle(handle);
}

uint BRX_Logic_Camera::imageDBHandle(int index) const
{
    return m_imageDB->handle(index);
}

int BRX_Logic_Camera::imageDBOrientation(int index) const
{
    return m_imageDB->orientation(index);
}

bool BRX_Logic_Camera::removeFromImageDB(uint handle)
{
    return m_imageDB->remove(handle);
}
