#ifndef BRX_LOGIC_CONTROLLERSIGNALS_H
#define BRX_LOGIC_CONTROLLERSIGNALS_H

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

// The families of signals below are X-lists, X(Name, Type), each giving the
// signals its comment names.

// signalHas<Name>(bool), signal<Name>(Type), signal<Name>(const QString&) and
// signal<Name>List(const QStringList&): a setting some cameras offer, with its
// display text and choices.
#define BRX_QT_OFFERED_CHOICES(X)                                                                  \
    X(DngCompression, bool)                                                                        \
    X(JpgColorSpace, int)                                                                          \
    X(JpgResolution, int)                                                                          \
    X(AutoreviewDuration, int)                                                                     \
    X(AutoPowerOff, int)                                                                           \
    X(SensorFormat, int)                                                                           \
    X(PhotoAspectRatio, int)                                                                       \
    X(VideoFileFormat, int)                                                                        \
    X(VideoResAndFrRate, int)                                                                      \
    X(VideoFormatResol, int)                                                                       \
    X(Contrast, int)                                                                               \
    X(Sharpness, int)                                                                              \
    X(Saturation, int)                                                                             \
    X(Monochrome, int)                                                                             \
    X(Orientation, int)                                                                            \
    X(AudioLevel, int)                                                                             \
    X(WhiteBalance, int)                                                                           \
    X(Aperture, double)

// The same without signalHas<Name>: every camera has them.
#define BRX_QT_CHOICES(X)                                                                          \
    X(FileFormat, int)                                                                             \
    X(WhiteBalTemp, int)                                                                           \
    X(ExposMetering, int)                                                                          \
    X(ExposCompens, int)                                                                           \
    X(Sensitivity, int)                                                                            \
    X(DriveMode, int)                                                                              \
    X(BracketImgNum, int)                                                                          \
    X(BracketDeltaEV, int)                                                                         \
    X(IntervalFrames, int)                                                                         \
    X(IntervalTime, int)                                                                           \
    X(ShutterTime, double)

// signalHas<Name>(bool) and signal<Name>(Type): a status some cameras report.
#define BRX_QT_STATUSES(X)                                                                         \
    X(FlashStatus, int)                                                                            \
    X(FlashXSymbol, bool)                                                                          \
    X(KeyLock, bool)                                                                               \
    X(AudioWindElim, int)                                                                          \
    X(AudioVolSpeaker, int)                                                                        \
    X(AudioVolHeadphone, int)                                                                      \
    X(AudioVolMicrophone, int)                                                                     \
    X(AutoFocusLimit, bool)                                                                        \
    X(ExposureSimulation, int)

// signalHas<Name>(bool) alone: what the host learns from other numbers.
#define BRX_QT_AVAILABILITIES(X)                                                                   \
    X(LensConnectionType)                                                                          \
    X(PowerSwitch)                                                                                 \
    X(VideoRecording)                                                                              \
    X(LiveView)                                                                                    \
    X(FocusMode)                                                                                   \
    X(Interval)                                                                                    \
    X(MirrorUpMode)                                                                                \
    X(FocusConfirmation)

#define BRX_QT_HAS(Name) void signalHas##Name(bool available);
#define BRX_QT_VALUE(Name, Type)                                                                   \
    BRX_QT_HAS(Name)                                                                               \
    void signal##Name(Type value);
#define BRX_QT_TEXTS(Name, Type)                                                                   \
    void signal##Name(Type value);                                                                 \
    void signal##Name(const QString& text);                                                        \
    void signal##Name##List(const QStringList& texts);
#define BRX_QT_OFFERED(Name, Type)                                                                 \
    BRX_QT_HAS(Name)                                                                               \
    BRX_QT_TEXTS(Name, Type)

// The Qt side of the controller: the signals a Qt GUI on the controller
// listens to and the host never sees. The controller derives from this class,
// so these are its signals; the rooms that emit them (mirror, setter rules,
// notifier) get this class as their whole view of the controller.
class BRX_Logic_ControllerSignals : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    BRX_QT_OFFERED_CHOICES(BRX_QT_OFFERED)
    BRX_QT_CHOICES(BRX_QT_TEXTS)
    BRX_QT_STATUSES(BRX_QT_VALUE)
    BRX_QT_AVAILABILITIES(BRX_QT_HAS)
    void signalHasFocusDistance(bool available);
    void signalFocusDistance(int code);
    void signalFocusDistance(const QString& text);
    void signalWarnings(int value);
    void signalWarnings(const QString& text);
    void signalBatteryInfo(int value);
    void signalBatteryLevelIntern(int value);
    void signalBatteryLevelExtern(int value);
    void signalLightBalance(int value);
    void signal3DAxisAngles(double pitch, double roll);

    // What the setters settled, besides the value itself.
    void signalSensitivityAuto(bool automatic);
    void signalUseDngCompression(bool use);
    void signalUseJpgColorSpace(bool use);
    void signalUseJpgResolution(bool use);
    void signalIsWhiteBalTemp(bool isTemperature);
    // Focus distances are in metres; the signal is sent with the initial state.
    void signalFocusIsUnitFeet(bool feet);

    // Capture: counts shown while they run, loading and the next picture's name.
    void signalBulbCounter(int seconds);
    void signalSelfTimerCounter(int seconds);
    void signalLoading(bool loading);
    void signalRemainingToLoad(int remaining);
    void signalFileNameAndNumber();
    void signalPictureExampleName();
    void signalIsAlive(bool alive);

    // Live view and quick view, passed through from the camera model.
    void signalLiveViewMode(int mode);
    void signalLiveViewPhoto(bool on);
    void signalLiveViewVideo(bool on);
    void signalNoLiveView();
    void signalQuickView(QByteArray image, QString fileName, int orientation);
    void signalNoQuickView();

    // The image interface. The arrays are new'd and belong to the receiver;
    // the sharing answer's array is null when nothing was fetched, and isDng
    // is true only for a whole DNG picture.
    void signalImageDBChangeBegin();
    void signalImageDBChangeEnd();
    void signalThumbReceived(QByteArray* thumbnail, QString fileName, uint handle, bool isBig);
    void signalImageForSharingReceived(QByteArray* image, bool isDng);
    void signalObjectDeleted(uint handle);
};

#undef BRX_QT_OFFERED
#undef BRX_QT_TEXTS
#undef BRX_QT_VALUE
#undef BRX_QT_HAS

// The image interface's arrays travel queued to a Qt side in another thread.
Q_DECLARE_METATYPE(QByteArray*)

#endif
