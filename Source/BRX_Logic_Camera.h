#ifndef BRX_LOGIC_CAMERA_H
#define BRX_LOGIC_CAMERA_H

#include "BRX_Commu_PtpCodes.h"
#include "BRX_Logic_CameraFacadeLists.h"
#include "BRX_Logic_CardListing.h"
#include "BRX_Logic_DownloadContext.h"
#include "BRX_Logic_SettingsChanges.h"
#include "BRX_Logic_Focus.h"
#include "BRX_Logic_TransferState.h"
#include "BRX_Logic_TransferThreadList.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_Camera3DAxisData;
class BRX_Logic_CameraRecovery;
class BRX_Logic_CameraGeotackingData;
class BRX_Logic_CameraSettingsBase;
class BRX_Logic_DeviceInfo;
class BRX_Logic_DownloadRetry;
class BRX_Logic_FolderSettings;
class BRX_Logic_ImageDatabase;
class BRX_Logic_ImageEntry;
class BRX_Logic_LiveView;
class BRX_Logic_PendingPictures;
class BRX_Logic_Release;
class BRX_Logic_ReleaseState;
class BRX_Logic_SettingsGuard;
struct BRX_Logic_SettingsChanges;
class QThread;

enum eVQExposureMode : int {
    kVQExposureModeFirst = 0,
    kVQExposureModeBulb = 4,
    kVQExposureModeLast = 5,
};

// The other settings travel as the settings record's own codes, so their
// enumerations name no values.
enum eVQFileFormat : int {};
enum eVQColorManagement : int {};
enum eVQPhotoResolutionJPG : int {};
enum eVQAutoreviewDuration : int {};
enum eVQAutoPowerOff : int {};
enum eVQSensorFormat : int {};
enum eVQPhotoAspectRatio : int {};
enum eVQVideoFileFormat : int {};
enum eVQVideoResAndFrRate : int {};
enum eVQVideoFormatResol : int {};
enum eVQContrast : int {};
enum eVQSharpness : int {};
enum eVQSaturation : int {};
enum eVQMonochrome : int {};
enum eVQElectronicShutter : int {};
enum eVQAudioLevel : int {};
enum eVQAudioWindElim : int {};
enum eVQExposureSimulation : int {};
enum eVQExposMetering : int {};
enum eVQDriveMode : int {};

// The model of one connected camera. Created by the controller when a
// connection opens and deleted when it closes; lives on the controller
// thread, where its timers run and every slot is called.
//
// It owns the per-camera data (device info, settings record, lens, 3D-axis
// and geotagging data, folder settings, transfer threads), turns camera
// events into one signal per changed setting and offers the settings facade.
// Live view, focus and release (with the keep-alive) are rooms of their own
// that it owns and whose signals it passes on as its own; each download
// runs on a transfer thread that it builds with what the download needs.
//
// Threads: the host's thread calls the facade (getters, setters, capability
// queries, setFrameCallback) directly and transfer threads read the record,
// so every access to the settings record (and to the lens data and folder
// settings the facade also serves) goes through the settings guard.
class BRX_Logic_Camera : public QObject
{
    Q_OBJECT
public:
    typedef void (*FrameCallback)(void* context, int type, const void* data, unsigned int size);

    // access must be open and know its product ID; it is not owned and must
    // outlive the camera. Reads the camera's identity, settings and lens.
    // pending, when given (not owned, outlives the camera), keeps the
    // pictures this camera began to deliver and did not, and the files its
    // host's releases made and it did not announce, across its reconnects
    // (BRX_Logic_CameraRecovery): those it owes from earlier connections
    // are fetched from the card once the host has set a frame callback.
    explicit BRX_Logic_Camera(BRX_Commu_CameraAccess_Base* access, BRX_Logic_PendingPictures* pending = nullptr);
    // Waits for running transfer threads before anything is freed.
    ~BRX_Logic_Camera() override;

    int productId() const;
    // The DeviceInfo dataset read on construction, unchanged afterwards.
    const BRX_Logic_DeviceInfo* deviceInfo() const { return m_deviceInfo; }

    // --- Release operations (controller thread) ----------------------------------
    bool timeExposurePrepare();
    void timeExposureStart();
    void timeExposureEnd();
    bool serialCaptureStop();
    // Transfer threads repeat the stop of a stopped series before they fetch
    // its pictures.
    void repeatSeriesStop();
    bool isTimeExposureRunning() const;
    void setTimeExposureRunning(bool running);
    bool isReleaseInProgress() const;
    BRX_Logic_ReleaseState& releaseState();
    bool isVideoRecording() const;

    // The controller calls both, in this order, before it drops the camera.
    void restoreAutoPowerOff();
    void restoreStorageType();

    // --- Transfer state (any thread) ---------------------------------------------
    void setTransferInProgress(bool inProgress);
    bool isTransferInProgress() const;
    // The camera announced a picture: starts a transfer thread that downloads
    // it. Controller thread.
    void transferRequest();
    // Takes a transfer thread into the camera's keeping: appends it to the
    // thread list (finished ones are deleted meanwhile) and starts it; marks
    // a picture announced. The transfer request builds the thread.
    // Controller thread.
    void startTransferThread(QThread* thread);
    // Hands a picture already on the card to the frame callback, after the
    // downloads before it (BRX_Logic_CardDelivery). Controller thread.
    void deliverFromCard(const BRX_Logic_CardListing::Entry& file);
    // Whether the host got the whole picture of this camera file name from
    // this camera model (a download or a delivery from the card). Any thread.
    bool wasDelivered(const QString& cameraFileName) const;
    void markDelivered(const QString& cameraFileName);
    // Whether the camera offers both object-property operations (0x9801, 0x9803).
    bool supportsObjectProps() const;
    // Sends what a download changed in the record. Any thread.
    void transferDone();
    // The image operations of the controller mark themselves as a transfer
    // (with setTransferInProgress) and hold the communication lock while they
    // talk to the camera.
    void setImageFlag(bool on) { m_transfer.setImageFlag(on); }
    std::unique_lock<std::mutex> lockCommunication();

    // --- Image database (controller thread) --------------------------------------
    // The pictures on the camera in the camera's handle order, rebuilt by
    // slotRebuildImageDB. Entries stay valid until the next change, which
    // signalImageDBChangeBegin announces.
    int imageDBCount() const;
    // Null for an index outside the list.
    BRX_Logic_ImageEntry* imageDBEntry(int index) const;
    // -1 for a handle not in the list.
    int imageDBIndexOfHandle(uint handle) const;
    // 0 for an index outside the list.
    uint imageDBHandle(int index) const;
    // 0 for an index outside the list.
    int imageDBOrientation(int index) const;
    // Drops the entry and its buffers (the camera keeps the object); false
    // for a handle not in the list.
    bool removeFromImageDB(uint handle);

    // Host frame callback: set from the host's thread, called from the
    // controller thread (live view, pictures lost from the card) and
    // transfer threads. The pair is copied under a lock and called outside
    // it. The first callback set starts the recovery of owed pictures.
    void setFrameCallback(FrameCallback function, void* context);
    void callFrameCallback(int type, const void* data, unsigned int size);
    // Whether the end of each release reaches the frame callback as a record
    // (type 11, the number of files it delivered). Any thread.
    void setWantReleaseEnd(bool want) { m_wantReleaseEnd = want; }

    // --- Settings facade ---------------------------------------------------------
    // Plain queries and getters forward to the record of the same name; without
    // a record they log "no camera settings" and answer false or the default.
    BRX_CAMERA_CAPABILITIES(BRX_CAMERA_DECLARE_CAPABILITY)
    BRX_CAMERA_GETTERS(BRX_CAMERA_DECLARE_GETTER)
    // Whether the record holds the camera's own value of setting (a flag of
    // the change record), not a preset it asked for and was never told;
    // true without a record. See BRX_Logic_CameraSettingsBase.
    bool holdsCameraValue(BRX_Logic_SettingsChanges::Flag setting) const;
    // True only when the record can also move the lens to a position and step it.
    bool hasFocusDistance() const;
    // -1.0 in bulb mode (exposure mode 4), whatever the record holds.
    double shutterTime() const;
    // Passes the format on to the example file name before returning it.
    int fileFormat();
    // 5 or 3: the only image counts bracketing offers.
    int bracketingImageNumbers() const;

    // Lens limits; 0 without lens data.
    double openApertureValue() const;
    double closeApertureValue() const;
    int apertureSteps() const;
    int focusPositionMax() const;
    int focusPositionMin() const;

    // Download folders and naming; empty or 0 without folder settings.
    QString dngPath() const;
    QString jpgPath() const;
    QString pictureExampleFileName() const;
    QString pictureName() const;
    int pictureIndex() const;
    // The folder settings themselves, unguarded: for the camera's own thread
    // while no download runs; other callers use the guarded queries above.
    BRX_Logic_FolderSettings* folderSettings() const;
    bool wantsQuickView() const { return m_transfer.wantsQuickView(); }
    // Read under the live-view lock; any thread.
    bool wantsLiveView() const;
    // Asks the camera whether its stream runs and starts or ends streaming
    // to match (controller thread).
    void checkIfLiveViewIsActive();

    // Each says whether the camera took the focus mode.
    bool changeToAutoFocusSingle();
    bool changeToAutoFocusContinuous();
    bool changeToManualFocus();
    void switchToMFMode();

signals:
    void signalGeotackingChanged();
    void signalLensChanged();
    void signalDngTransferDone();
    // A file reached the host whole; from the transfer thread.
    void signalPictureDelivered();
    void signalIsAlive(bool alive);
    void signalLoading(bool loading);
    void signalRemainingToLoad(int remaining);
    void signal3DAxisAngles(double pitch, double roll);
    void signalBatteryInfo(int value);
    void signalBatteryLevelIntern(int value);
    void signalBatteryLevelExtern(int value);
    void signalMaxShutterTime(double value);
    void signalLensConnectionType(int value);
    void signalPowerSwitch(int value);
    void signalSelfTimerRestTime(int value);
    void signalBulbModeTime(int value);
    void signalFlashStatus(int value);
    void signalFlashXSymbol(bool value);
    void signalLightBalance(int value);
    void signalKeyLock(bool value);
    void signalMirrorUpMode(bool value);
    void signalFileFormat(int value);
    void signalDngCompression(bool value);
    void signalJpgColorSpace(int value);
    void signalJpgResolution(int value);
    void signalAutoreviewDuration(int value);
    void signalAutoPowerOff(int value);
    void signalSensorFormat(int value);
    void signalPhotoAspectRatio(int value);
    void signalVideoFileFormat(int value);
    void signalVideoResAndFrRate(int value);
    void signalVideoFormatResol(int value);
    void signalContrast(int value);
    void signalSharpness(int value);
    void signalSaturation(int value);
    void signalMonochrome(int value);
    void signalElectronicShutter(int value);
    void signalOrientation(int value);
    void signalAudioLevel(int value);
    void signalAudioWindElim(int value);
    void signalAudioVolSpeaker(int value);
    void signalAudioVolHeadphone(int value);
    void signalAudioVolMicrophone(int value);
    void signalExposureSimulation(int value);
    void signalExposureMode(int value);
    void signalExposMetering(int value);
    void signalAperture(double value);
    void signalShutterTime(double value);
    void signalExposCompens(int value);
    void signalExposCompensStep(int value);
    void signalSensitivity(int value);
    void signalSensitivityAuto(bool value);
    void signalWhiteBalance(int value);
    void signalWhiteBalTemp(int value);
    void signalDriveMode(int value);
    void signalBracketEnabled(bool value);
    void signalBracketImgNum(int value);
    void signalBracketDeltaEV(int value);
    void signalFocusMode(int value);
    void signalFocusDistance(int value);
    void signalFocusConfirmation(int value);
    void signalFocusConfirmBadSig(bool value);
    void signalNoFocusConfirmation();
    void signalAutoFocusLimit(bool value);
    void signalAutoFocusLimitDist(int value);
    void signalWarnings(int value);
    void signalIntervalFrames(int value);
    void signalIntervalTime(int value);
    void signalLiveAudioLevel(double rmsLeft, double rmsRight, double peakLeft, double peakRight);
    void signalLiveTimeCode(int hours, int minutes, int seconds, int frames);
    void signalLiveZoomInfo(int stripe, int zoomLevel, double focusX, double focusY);
    void signalLiveZoomRect(double x, double y, double width, double height);
    void signalLiveViewMode(int mode);
    void signalLiveViewPhoto(bool on);
    void signalLiveViewVideo(bool on);
    void signalNoLiveView();
    void signalQuickView(QByteArray image, QString fileName, int orientation);
    void signalNoQuickView();
    void signalFileNameAndNumber();
    void signalPictureExampleName();
    void signalImageDBChangeBegin();
    void signalImageDBChangeEnd();

public slots:
    // Rebuilds the image database from the camera's object handles, at most
    // once every 3 s: a request within 3 s of the last rebuild is deferred
    // until the delayed-rebuild timer fires.
    void slotRebuildImageDB();
    // Ends the 3 s period: runs a deferred rebuild if one is pending.
    void slotDelayedRebuildImageDB();
    // Starts or stops a video recording; the storage type is switched to 0
    // for the recording and restored afterwards. A recording that does not
    // start leaves the storage type as it was.
    void toggleVideoCapture();
    // Live view (controller thread). Photo and video live view exclude each
    // other; switching one on switches the other off.
    void setLiveViewPhoto(bool on);
    void setLiveViewVideo(bool on);
    // x and y are fractions, in [0, 1], of the image source area (Global: of
    // the outer bounds); both need a zoom record from the stream. False for
    // other fractions (logged) or without the record; otherwise whether the
    // camera took the cross.
    bool setLiveViewCrossPos(double x, double y);
    bool setLiveViewCrossPosGlobal(double x, double y);
    // Picture in picture. Leaving it or saving leaves live view; the camera
    // model re-enters the mode it was in when the camera reports mode 0.
    void setLiveViewGCPipActive(bool on);
    void doLiveViewGCPipPreview();
    void doLiveViewGCPipSave();
    // Autofocus from live view; in manual focus the camera is switched to
    // autofocus for one second and back.
    void doLiveViewAFExec();
    void doLiveViewAFPressed();
    void doLiveViewAFReleased();
    void toggleLiveViewZoom();
    // Streams while the host wants it and the camera is in a live-view mode.
    void setWantLiveView(bool want);
    void setWantQuickView(bool want);
    void setPictureExampleFileFormat(eVQFileFormat format);

    // The setters below say whether the camera took the value: false when it
    // was refused (out of range, not offered, refused by the camera or not
    // answered), and the camera model then holds the camera's value.
    BRX_CAMERA_SETTERS(BRX_CAMERA_DECLARE_SETTER)

    void setDngPath(QString path);
    void setJpgPath(QString path);
    void setPictureName(QString name);
    void setPictureIndex(int index);
    // Accepts 0 to 5.
    bool setExposureMode(eVQExposureMode mode);
    // Signals the camera's actual value at once.
    bool setShutterTime(double seconds);
    // Both restart live view when the value changes.
    bool setWhiteBalanceIndex(uchar index);
    bool setWhiteBalanceColorTemp(uint kelvin);
    bool setBracketEnabled(bool on);
    bool setBracketImgNum(int count);
    bool setFocusMode(eVQFocusMode mode);
    // Moves the lens in manual focus; 0xFFFFFFFF is refused. True when the
    // camera took the move.
    bool setFocusDistance(uint position);
    void setFocusDistanceDec();
    void setFocusDistanceInc();
    // Sends a release stage with parameter 0; success marks a release in progress.
    bool releaseCam(eVQReleaseMode releaseMode);
    // While set, the next frame is fetched only after catchLiveViewConsumed().
    void setWaitLiveViewConsumed(bool waitLiveViewConsumed);
    void catchLiveViewConsumed();

private slots:
    // Downloads the pictures owed from earlier connections that the card
    // still holds; says the others are lost (record 12, their names).
    void recoverPictures();
    void catchObjectAdded(quint32 handle);
    void catchKeepAlive();
    void catchRefresh3DAxisData();
    void catchRefreshDevPropsTimerFired();
    void catchDevicePropertyChanged(ushort propertyCode);
    void catch3DAxisDataChanged();
    void catchGeotackingChanged();
    void catchLensChanged();
    void catchLiveViewTimerFired();
    void catchSettingsChanged();

private:
    typedef int (BRX_Logic_CameraSettingsBase::*RecordGetter)() const;
    typedef void (BRX_Logic_CameraSettingsBase::*RecordSetter)(int);

    // One row of the change dispatch: the flag and what it emits.
    struct ChangeEntry
    {
        quint8 BRX_Logic_SettingsChanges::*flag;
        void (BRX_Logic_Camera::*emitChange)();
    };
    static const ChangeEntry kChangeDispatch[];

    template <auto Getter, auto Signal>
    void emitChange();
    void emitApertureIfAvailable();
    void emitFocusConfirmationEnabled();
    void dispatchChanges(const BRX_Logic_SettingsChanges& changes);

    void createDataObjects();
    void createRooms();
    void connectRooms();
    bool has3DAxisEvents() const;
    void connectAccess();
    void disconnectAccess();
    void start3DAxisTimer();
    void deleteDataObjects();

    bool setWhiteBalanceValue(const char* caller, int value, RecordGetter get, RecordSetter set);
    bool storeFocusMode(const char* caller, int mode);
    void stepFocus(const char* caller, bool increase);
    // What the download of handle needs, for a transfer thread.
    BRX_Logic_DownloadContext downloadContext(quint32 handle);
    void startDownload(quint32 handle);
    void createRecovery();
    bool sendRelease(eVQReleaseMode releaseMode, const std::function<bool()>& send);
    int filesOfRelease(eVQReleaseMode releaseMode) const;

    BRX_Commu_CameraAccess_Base* m_access;
    // The settings record, lens data and folder settings, under their lock.
    std::unique_ptr<BRX_Logic_SettingsGuard> m_guard;
    BRX_Logic_CameraGeotackingData* m_geotagging = nullptr;
    BRX_Logic_Camera3DAxisData* m_axisData = nullptr;
    BRX_Logic_DeviceInfo* m_deviceInfo = nullptr;
    // Fetches the transfer threads' pictures.
    BRX_Logic_DownloadRetry* m_downloads = nullptr;

    // Shared with the transfer threads.
    BRX_Logic_TransferState m_transfer;
    QTimer m_refresh3DAxisTimer;

    // Held around one keep-alive or 3D-axis exchange or one image operation
    // of the controller, nothing else inside.
    std::mutex m_communicationMutex;
    std::unique_ptr<BRX_Logic_ImageDatabase> m_imageDB;
    std::unique_ptr<BRX_Logic_Release> m_release;
    std::unique_ptr<BRX_Logic_LiveView> m_liveView;
    std::unique_ptr<BRX_Logic_Focus> m_focus;
    BRX_Logic_TransferThreadList m_transferThreads;

    BRX_Logic_PendingPictures* const m_pending;
    QString m_serial;
    // Null without a pending list.
    std::unique_ptr<BRX_Logic_CameraRecovery> m_recovery;
    // Pictures are owed from an earlier connection and not yet looked for.
    std::atomic<bool> m_recoveryDue{false};

    mutable std::mutex m_frameCallbackMutex;
    FrameCallback m_frameCallback = nullptr;
    void* m_frameCallbackContext = nullptr;
    std::atomic<bool> m_wantReleaseEnd{false};
    mutable std::mutex m_deliveredMutex;
    QSet<QString> m_delivered;
};

Q_DECLARE_METATYPE(eVQReleaseMode)
Q_DECLARE_METATYPE(eVQExposureMode)
Q_DECLARE_METATYPE(eVQFocusMode)
Q_DECLARE_METATYPE(eVQFileFormat)

#endif
