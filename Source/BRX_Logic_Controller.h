#ifndef BRX_LOGIC_CONTROLLER_H
#define BRX_LOGIC_CONTROLLER_H

#include "BRX_Commu_DeviceEntry.h"
#include "BRX_Logic_PropertyCatalogue.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <functional>
#include <mutex>
#include <shared_mutex>
#include <utility>

class BRX_Commu_CameraAccess_Base;
class BRX_Logic_Camera;
class BRX_Logic_CaptureControl;
class BRX_Logic_ControllerConverters;
class BRX_Logic_ControllerMirror;
class BRX_Logic_ImageEntry;
class BRX_Logic_PropertyTexts;

// The object behind every export: owns the camera accesses and, per
// connection, the camera model and its value converters; turns the host's
// property numbers into camera settings and camera changes into property
// notifications.
//
// Lives in the controller thread. getProperty, setProperty, setFrameCallback
// and getProductId are also called directly from the host's thread; there
// they hold the connection lock (shared) while they use the per-connection
// objects, which connection set-up and tear-down swap under the same lock
// (exclusive). The lock is never held while the host is called: every
// notification leaves from the controller thread, queued.
class BRX_Logic_Controller : public QObject
{
    Q_OBJECT
public:
    typedef void (*FrameCallback)(void* context, int type, const void* data, unsigned int size);

    explicit BRX_Logic_Controller(QObject* parent = nullptr);
    ~BRX_Logic_Controller() override;

    // Read or write one numbered property; false (with a log line) for a
    // refused request. Any thread.
    bool getProperty(int property, void* data, unsigned int size);
    bool setProperty(int property, const void* data, unsigned int size);
    // Hands the host's frame callback to the camera model. Any thread.
    void setFrameCallback(FrameCallback function, void* context);
    // Whether every camera, the open one and those to come, ends each release
    // with a record to the frame callback. Any thread.
    void setWantReleaseEnd(bool want);
    // Product ID of the open camera, 0 without one. Any thread.
    int getProductId() const;
    // The open camera's image database for the Qt side, read between
    // signalImageDBChangeEnd and the next signalImageDBChangeBegin: 0 entries
    // and null without a camera or for an index outside. Controller thread.
    int imageDBCount() const;
    const BRX_Logic_ImageEntry* imageDBEntry(int index) const;

    // --- For the description exports (any thread) ------------------------------
    // Whether the open camera offers property; false without a camera.
    bool supportsProperty(int property) const;
    // Runs use with the texts of the open camera (its product, exposure step
    // and converter tables), or of no camera; the camera stays open meanwhile.
    void usePropertyTexts(const std::function<void(const BRX_Logic_PropertyTexts&)>& use) const;
    // Manufacturer, model, device version and serial number from the open
    // camera's DeviceInfo; empty without a camera.
    QStringList cameraIdentity() const;
    // Where the latest live-view frame looks, in fractions of the sensor.
    struct LiveViewArea {
        int zoomLevel;
        double x, y, width, height;
        double focusX, focusY;
    };
    // False before the first frame with a zoom record since live view started.
    bool liveViewArea(LiveViewArea* area) const;

signals:
    void signalCameraConnected();
    void signalCameraDisconnected();
    // Every notification: data points to the emitter's value during the call.
    void signalProperty(int property, void* data, quint32 size);
    // data is a malloc'd copy owned by the receiver.
    void signalPropertySafe(int property, void* data, quint32 size);
    // The initial state of the open camera has been sent, every notification
    // of it before this signal.
    void signalInitialStateSent();

    // Qt-side mirror of the settings; the host sees none of these.
    void signalSensitivityAuto(bool automatic);
    void signalFileFormat(int format);
    void signalUseDngCompression(bool use);
    void signalUseJpgColorSpace(bool use);
    void signalUseJpgResolution(bool use);
    void signalWhiteBalance(int index);
    void signalIsWhiteBalTemp(bool isTemperature);
    void signalFocusIsUnitFeet(bool feet);
    void signalBulbCounter(int seconds);
    void signalSelfTimerCounter(int seconds);
    void signalLoading(bool loading);
    void signalFileNameAndNumber();
    void signalObjectDeleted(uint handle);
    // Passed through unchanged from the camera model.
    void signalIsAlive(bool alive);
    void signalRemainingToLoad(int remaining);
    void signalLiveViewPhoto(bool on);
    void signalLiveViewVideo(bool on);
    void signalNoLiveView();
    void signalQuickView(QByteArray image, QString fileName, int orientation);
    void signalNoQuickView();
    void signalPictureExampleName();
    void signalImageDBChangeBegin();
    void signalImageDBChangeEnd();
    // Answers of the image interface; the array is new'd and belongs to the
    // receiver. The sharing answer's array is null when nothing was fetched;
    // isDng is true only for a whole DNG picture.
    void signalThumbReceived(QByteArray* thumbnail, QString fileName, uint handle, bool isBig);
    void signalImageForSharingReceived(QByteArray* image, bool isDng);
    void signalHasExposureSimulation(bool available);
    void signalExposureSimulation(int code);

    // Qt-side mirror of the camera's values: the value, its display text and
    // the display texts of its choices; availability as signalHas...
    void signalBatteryInfo(int value);
    void signalBatteryLevelIntern(int value);
    void signalBatteryLevelExtern(int value);
    void signalHasLensConnectionType(bool available);
    void signalHasPowerSwitch(bool available);
    void signalHasVideoRecording(bool available);
    void signalHasLiveView(bool available);
    void signalLiveViewMode(int mode);
    void signalHasFlashStatus(bool available);
    void signalFlashStatus(int value);
    void signalHasFlashXSymbol(bool available);
    void signalFlashXSymbol(bool value);
    void signalLightBalance(int value);
    void signalHasKeyLock(bool available);
    void signalKeyLock(bool value);
    void signalFileFormat(const QString& text);
    void signalFileFormatList(const QStringList& texts);
    void signalHasDngCompression(bool available);
    void signalDngCompression(bool value);
    void signalDngCompression(const QString& text);
    void signalDngCompressionList(const QStringList& texts);
    void signalHasJpgColorSpace(bool available);
    void signalJpgColorSpace(int value);
    void signalJpgColorSpace(const QString& text);
    void signalJpgColorSpaceList(const QStringList& texts);
    void signalHasJpgResolution(bool available);
    void signalJpgResolution(int value);
    void signalJpgResolution(const QString& text);
    void signalJpgResolutionList(const QStringList& texts);
    void signalHasAutoreviewDuration(bool available);
    void signalAutoreviewDuration(int value);
    void signalAutoreviewDuration(const QString& text);
    void signalAutoreviewDurationList(const QStringList& texts);
    void signalHasAutoPowerOff(bool available);
    void signalAutoPowerOff(int value);
    void signalAutoPowerOff(const QString& text);
    void signalAutoPowerOffList(const QStringList& texts);
    void signalHasSensorFormat(bool available);
    void signalSensorFormat(int value);
    void signalSensorFormat(const QString& text);
    void signalSensorFormatList(const QStringList& texts);
    void signalHasPhotoAspectRatio(bool available);
    void signalPhotoAspectRatio(int value);
    void signalPhotoAspectRatio(const QString& text);
    void signalPhotoAspectRatioList(const QStringList& texts);
    void signalHasVideoFileFormat(bool available);
    void signalVideoFileFormat(int value);
    void signalVideoFileFormat(const QString& text);
    void signalVideoFileFormatList(const QStringList& texts);
    void signalHasVideoResAndFrRate(bool available);
    void signalVideoResAndFrRate(int value);
    void signalVideoResAndFrRate(const QString& text);
    void signalVideoResAndFrRateList(const QStringList& texts);
    void signalHasVideoFormatResol(bool available);
    void signalVideoFormatResol(int value);
    void signalVideoFormatResol(const QString& text);
    void signalVideoFormatResolList(const QStringList& texts);
    void signalHasContrast(bool available);
    void signalContrast(int value);
    void signalContrast(const QString& text);
    void signalContrastList(const QStringList& texts);
    void signalHasSharpness(bool available);
    void signalSharpness(int value);
    void signalSharpness(const QString& text);
    void signalSharpnessList(const QStringList& texts);
    void signalHasSaturation(bool available);
    void signalSaturation(int value);
    void signalSaturation(const QString& text);
    void signalSaturationList(const QStringList& texts);
    void signalHasMonochrome(bool available);
    void signalMonochrome(int value);
    void signalMonochrome(const QString& text);
    void signalMonochromeList(const QStringList& texts);
    void signalHasOrientation(bool available);
    void signalOrientation(int value);
    void signalOrientation(const QString& text);
    void signalOrientationList(const QStringList& texts);
    void signalHasAudioLevel(bool available);
    void signalAudioLevel(int value);
    void signalAudioLevel(const QString& text);
    void signalAudioLevelList(const QStringList& texts);
    void signalHasAudioWindElim(bool available);
    void signalAudioWindElim(int value);
    void signalHasAudioVolSpeaker(bool available);
    void signalAudioVolSpeaker(int value);
    void signalHasAudioVolHeadphone(bool available);
    void signalAudioVolHeadphone(int value);
    void signalHasAudioVolMicrophone(bool available);
    void signalAudioVolMicrophone(int value);
    void signalHasWhiteBalance(bool available);
    void signalWhiteBalance(const QString& text);
    void signalWhiteBalanceList(const QStringList& texts);
    void signalWhiteBalTemp(int kelvin);
    void signalWhiteBalTemp(const QString& text);
    void signalWhiteBalTempList(const QStringList& texts);
    void signalExposMetering(int value);
    void signalExposMetering(const QString& text);
    void signalExposMeteringList(const QStringList& texts);
    void signalExposCompens(int milliEv);
    void signalExposCompens(const QString& text);
    void signalExposCompensList(const QStringList& texts);
    void signalSensitivity(int iso);
    void signalSensitivity(const QString& text);
    void signalSensitivityList(const QStringList& texts);
    void signalDriveMode(int mode);
    void signalDriveMode(const QString& text);
    void signalDriveModeList(const QStringList& texts);
    void signalBracketImgNum(int count);
    void signalBracketImgNum(const QString& text);
    void signalBracketImgNumList(const QStringList& texts);
    void signalBracketDeltaEV(int milliEv);
    void signalBracketDeltaEV(const QString& text);
    void signalBracketDeltaEVList(const QStringList& texts);
    void signalIntervalFrames(int frames);
    void signalIntervalFrames(const QString& text);
    void signalIntervalFramesList(const QStringList& texts);
    void signalIntervalTime(int seconds);
    void signalIntervalTime(const QString& text);
    void signalIntervalTimeList(const QStringList& texts);
    void signalWarnings(int value);
    void signalWarnings(const QString& text);
    void signalShutterTime(double seconds);
    void signalShutterTime(const QString& text);
    void signalShutterTimeList(const QStringList& texts);
    void signalHasAperture(bool available);
    void signalAperture(double fNumber);
    void signalAperture(const QString& text);
    void signalApertureList(const QStringList& texts);
    void signalHasFocusDistance(bool available);
    void signalFocusDistance(int code);
    void signalFocusDistance(const QString& text);
    void signalHasFocusMode(bool available);
    void signalHasInterval(bool available);
    void signalHasAutoFocusLimit(bool available);
    void signalAutoFocusLimit(bool on);
    void signalHasMirrorUpMode(bool available);
    void signalHasFocusConfirmation(bool available);
    void signal3DAxisAngles(double pitch, double roll);

public slots:
    void slotSetProperty(int property, QByteArray data);
    void slotEmitPropertySafe(int property, void* data, quint32 size);

    // Connection set-up and tear-down (controller thread).
    void catchDeviceAvailable(int connectionType, quint64 cameraId, int productId, QString deviceId);
    void catchConnectToCamera(int connectionType, quint64 cameraId, int productId, QString deviceId);
    void catchConnectionOpened(int connectionType);
    void catchConnectionClosed(int connectionType);
    // Sends the whole state of a newly opened camera.
    void catchCameraGUIOpened();
    // Restores the camera's saved settings and closes the connection.
    void catchCameraGUIClosed();

    void doCaptureBtnPressed();
    void doCaptureBtnReleased();
    void doVidCaptBtnPressed();
    void doVidCaptBtnReleased();

    // Setters with rules of their own. Each says whether the camera took the
    // value (see setProperty).
    // -1.0 selects bulb; other times must be positive and finite.
    bool setShutterTime(double seconds);
    // Positive and finite.
    bool setAperture(double fNumber);
    // An ISO value of the camera's list, 0 for automatic.
    bool setSensitivity(int iso);
    bool setSensitivityAuto(bool automatic);
    // 0 or less is no distance, 1,000,000 or more infinity; NaN is refused.
    bool setFocusDistance(double metres);
    bool setFileFormat(int format);
    bool setWhiteBalance(int index);
    bool setWhiteBalTemp(int value);
    // A drive mode of the camera's list.
    bool setDriveMode(int mode);
    bool setIntervalFrames(int frames);
    bool setIntervalTime(int seconds);
    void setIsUnitFeet(bool feet);

    // Setters that forward to the camera model.
    bool setExposureMode(int mode);
    bool setExposMetering(int mode);
    bool setExposCompens(int milliEv);
    bool setExposCompensStep(int milliEv);
    bool setBracketEnabled(bool on);
    bool setBracketImgNum(int count);
    bool setBracketDeltaEV(int milliEv);
    bool setMirrorUpMode(bool on);
    bool setFocusMode(int mode);
    bool setAudioLevel(int level);

    // Text setters: the display text of a converter's list.
    void setDngCompression(const QString& text);
    void setJpgColorSpace(const QString& text);
    void setJpgResolution(const QString& text);
    void setAutoreviewDuration(const QString& text);
    void setAutoPowerOff(const QString& text);
    void setSensorFormat(const QString& text);
    void setPhotoAspectRatio(const QString& text);
    void setVideoFileFormat(const QString& text);
    void setVideoResAndFrRate(const QString& text);
    void setVideoFormatResol(const QString& text);
    void setContrast(const QString& text);
    void setSharpness(const QString& text);
    void setSaturation(const QString& text);
    void setMonochrome(const QString& text);
    void setFileFormat(const QString& text);
    void setExposMetering(const QString& text);
    void setExposCompens(const QString& text);
    void setSensitivity(const QString& text);
    void setWhiteBalance(const QString& text);
    bool setWhiteBalTemp(const QString& text);
    void setDriveMode(const QString& text);
    void setBracketImgNum(const QString& text);
    void setBracketDeltaEV(const QString& text);
    void setIntervalFrames(const QString& text);
    void setIntervalTime(const QString& text);
    void setAudioLevel(const QString& text);
    // In feet or metres as setIsUnitFeet says.
    void setFocusDistance(const QString& text);
    // "B" selects bulb; a text that is no shutter time is refused.
    void setShutterTime(const QString& text);

    // Notifications with conversions or follow-ups of their own.
    void emitSensitivity(int iso);
    void emitDriveMode(int mode);
    void emitFocusDistance(int code);
    void emitFocusMaxDistance(int code);
    void emitFocusMinDistance(int code);
    void emitAutoFocusLimitDist(int code);
    void emitWhiteBalance(int index);
    void emitWhiteBalTemp(int temperature);
    void emitNoFocusConfirmation();
    void emitApertureList();
    void emitShutterTimeList();
    void emitExposCompensList();
    void emitSensitivityList();
    void emitBracketDeltaEVList();
    void emitIntervalFramesList();
    void emitIntervalTimeList();
    void catchLensChanged();
    void catchExposCompensStep(int milliEv);
    void catchElectronicShutter(int value);
    void catchMaxShutterTime(double seconds);
    void catchLiveViewMode(int mode);

    // Image interface (controller thread). Without a camera each returns at
    // once. The thumbnail of a handle in the camera's image database, with
    // the picture's orientation and size class stored in its entry first.
    void loadThumb(uint handle, bool isBig);
    // The big thumbnail, the camera's large DNG preview (full resolution of a
    // DNG) or the whole object (full resolution, or any DNG with forceDNG).
    void loadImageForSharing(int index, bool fullRes, bool forceDNG);
    // Forgets the entry; the camera keeps the object.
    void deleteObjectFromImageDB(uint handle);
    // Deletes the object on the camera; the access's answer.
    bool deleteObject(uint handle);
    // A Qt-side live-view window paces the stream: while it is open each
    // frame waits for catchLiveViewConsumed().
    void catchLiveViewGUIOpened();
    void catchLiveViewConsumed();
    void catchLiveViewGUIClosed();

protected:
    // Discovery starts once the main object listens for connections.
    void connectNotify(const QMetaMethod& signal) override;

private:
    typedef bool (*Reader)(BRX_Logic_Controller&, BRX_Logic_Camera&, void* data);
    // Whether the camera took the value (see setProperty).
    typedef bool (*Writer)(BRX_Logic_Controller&, const void* data);

    typedef BRX_Logic_PropertyCatalogue::Verdict (*Check)(int property, const void* data, unsigned int size,
                                                          const char* label);

    static Reader readerOf(int property);
    BRX_Logic_PropertyCatalogue::Verdict admit(Check check, int property, const void* data, unsigned int size,
                                               const char* label) const;
    static bool missingProperty(int property, const char* label);
    static Writer writerOf(int property);

    Q_INVOKABLE void startDeviceCheck();
    // Confirms a host's set with the camera's value (controller thread).
    void echo(int property);
    BRX_Commu_CameraAccess_Base* accessOf(int connectionType) const;
    // The access whose discovery runs: the USB one, or the network one
    // when the host named a network camera.
    BRX_Commu_CameraAccess_Base* discoveryAccess() const;
    void connectAccess();
    void closeCamera();
    void connectDeferredCamera();
    void connectNotifications();
    template <typename T>
    void connectValue(void (BRX_Logic_Camera::*signal)(T), int property);
    void connectConverted(void (BRX_Logic_Camera::*signal)(int), int property, int kind);
    template <typename Sender, typename Signal, typename Receiver, typename Slot>
    void track(const Sender* sender, Signal signal, const Receiver* receiver, Slot slot,
               Qt::ConnectionType type = Qt::AutoConnection);
    void sendInitialPower();
    void sendInitialCompensStep();
    void sendInitialLists();
    void mirrorList(int kind, const char* label);
    void sendInitialValues();
    void sendInitialIntervals();
    void sendInitialFocus();

    template <typename T>
    void notify(int property, T value);
    template <typename T>
    void notifyList(int property, const QVector<T>& values);
    void notifyConverted(int property, int kind, int value);
    void notifyShutterTime(double seconds);
    void notifyAperture(double fNumber);
    void notifyCurrentShutterTime();
    void notifyShutterTimes();
    void notifyFocusRange();
    void notifyConverterValues(int property, int kind, const char* label);
    void notifyConverterRange(int property, int kind, const char* label);
    void notifyDistance(int property, int code, const char* label);
    // Runs f in the controller thread: at once when called there, else queued.
    template <typename F>
    void inControllerThread(F f);
    // f's result; without a camera logs and returns the result type's default.
    template <typename F>
    auto withCamera(const char* label, F f) -> decltype(f(std::declval<BRX_Logic_Camera&>()));
    // Live view runs on the controller thread, where its timer lives.
    template <typename F>
    void withCameraInControllerThread(F f);
    bool setFromText(int kind, const QString& text, const char* label);
    // Whether value is in the list of kind's converter; logs
    // "%s - illegal <what> %d" when not.
    bool isListed(int kind, int value, const char* what, const char* label) const;
    bool switchExposureMode(BRX_Logic_Camera& camera, int mode);
    // frames: interval frames, else interval time.
    bool setInterval(const char* label, bool frames, int value);

    // Property 32: an index, or a colour temperature above the preset's index.
    bool writeWhiteBalance(int value);
    bool readFocusDistance(int code, void* data, const char* label) const;
    bool readRange(int kind, void* data, const char* label) const;
    int whiteBalanceValue(int index, int temperature) const;
    int colourTemperaturePreset() const;
    bool isWhiteBalanceTemperature(int value) const;
    double apertureStep() const;
    double shutterTimeStep() const;
    double fastestShutterTime() const;

    // The live-view zoom record comes in two signals, level and focus first
    // (controller thread).
    void catchLiveZoomInfo(int stripe, int zoomLevel, double focusX, double focusY);
    void catchLiveZoomRect(double x, double y, double width, double height);
    void forgetLiveViewArea();

    BRX_Commu_CameraAccess_Base* m_ptpAccess = nullptr;
    BRX_Commu_CameraAccess_Base* m_wlanAccess = nullptr;
    BRX_Logic_Camera* m_camera = nullptr;
    BRX_Commu_CameraAccess_Base* m_activeAccess = nullptr;
    BRX_Logic_ControllerConverters* m_converters = nullptr;
    BRX_Logic_ControllerMirror* m_mirror = nullptr;
    // Kept with the connection: the access clears its own when the device
    // goes away, which may happen while a direct call runs.
    int m_productId = 0;
    bool m_focusInFeet = false;
    std::atomic<int> m_liveViewMode{0};
    std::atomic<bool> m_wantReleaseEnd{false};
    BRX_Logic_CaptureControl* m_capture = nullptr;
    QTimer m_deviceCheckTimer;
    // While the camera is being deleted (or the controller itself), a camera
    // found meanwhile is kept here, connection type 0 for none.
    bool m_closingCamera = false;
    int m_deferredConnectionType = 0;
    BRX_Commu_DeviceEntry m_deferredDevice;
    // The notification connections of the open camera, undone on close.
    QList<QMetaObject::Connection> m_connections;
    // Shared: direct calls from the host; exclusive: swapping the camera.
    mutable std::shared_mutex m_connectionLock;

    // The live-view zoom record of the latest frame; zoom level and focus
    // first, the area published under its own lock.
    LiveViewArea m_zoomPending{};
    mutable std::mutex m_liveViewAreaLock;
    LiveViewArea m_liveViewArea{};
    bool m_hasLiveViewArea = false;
};

// The image interface's arrays travel queued to a Qt side in another thread.
Q_DECLARE_METATYPE(QByteArray*)

#endif
