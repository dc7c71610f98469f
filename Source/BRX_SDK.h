#ifndef BRX_SDK_H
#define BRX_SDK_H

/*
 * Camera-tethering library: the public interface for C++.
 *
 * The functions here are those of BRX_SDK_C.h under their C++ names, with
 * the same behaviour: BRX_SDK_init is brxsdk_init, BRX_SDK_getProperty is
 * brxsdk_get_property, the short forms BRX_SDK_setProperty(property) and
 * BRX_SDK_setPropertyQueued(property) are brxsdk_command and
 * brxsdk_command_queued, and so on. BRX_SDK_C.h, included here, is the
 * manual: the lifecycle (callbacks registered again and quick view and live
 * view switched on again after every connection), the thread of every
 * callback and which function may be called from where, the payloads and
 * units of the properties, the frame records, what a set's result means and
 * the initial burst of notifications.
 *
 * This header has no dependency on Qt; neither has a host that calls
 * BRX_SDK_processEvents instead of running a Qt event loop.
 */

#include "BRX_SDK_C.h"

/* Property numbers: enum BRX_SDK_PropertyNumber, where each says its
 * payload, access and unit. */
namespace BRX_SDK_Property {
enum Id {
    ExposureMode = BRX_SDK_PropertyExposureMode,
    ExposMetering = BRX_SDK_PropertyExposMetering,
    ApertureList = BRX_SDK_PropertyApertureList,
    Aperture = BRX_SDK_PropertyAperture,
    ShutterTimeList = BRX_SDK_PropertyShutterTimeList,
    ShutterTime = BRX_SDK_PropertyShutterTime,
    ExposCompensList = BRX_SDK_PropertyExposCompensList,
    ExposCompens = BRX_SDK_PropertyExposCompens,
    ExposCompensStep = BRX_SDK_PropertyExposCompensStep,
    SensitivityList = BRX_SDK_PropertySensitivityList,
    Sensitivity = BRX_SDK_PropertySensitivity,
    SensitivityAuto = BRX_SDK_PropertySensitivityAuto,
    Reserved12 = BRX_SDK_PropertyReserved12,
    DriveMode = BRX_SDK_PropertyDriveMode,
    BracketEnabled = BRX_SDK_PropertyBracketEnabled,
    Reserved15 = BRX_SDK_PropertyReserved15,
    BracketImgNum = BRX_SDK_PropertyBracketImgNum,
    BracketDeltaEVList = BRX_SDK_PropertyBracketDeltaEVList,
    BracketDeltaEV = BRX_SDK_PropertyBracketDeltaEV,
    MirrorUpMode = BRX_SDK_PropertyMirrorUpMode,
    FocusConfirmation = BRX_SDK_PropertyFocusConfirmation,
    FocusConfirmBadSig = BRX_SDK_PropertyFocusConfirmBadSig,
    NoFocusConfirmation = BRX_SDK_PropertyNoFocusConfirmation,
    FocusDistance = BRX_SDK_PropertyFocusDistance,
    FocusDistanceDec = BRX_SDK_PropertyFocusDistanceDec,
    FocusDistanceInc = BRX_SDK_PropertyFocusDistanceInc,
    FocusMaxDistance = BRX_SDK_PropertyFocusMaxDistance,
    FocusMinDistance = BRX_SDK_PropertyFocusMinDistance,
    AutoFocusLimitDist = BRX_SDK_PropertyAutoFocusLimitDist,
    FocusMode = BRX_SDK_PropertyFocusMode,
    FileFormat = BRX_SDK_PropertyFileFormat,
    WantQuickView = BRX_SDK_PropertyWantQuickView,
    WhiteBalance = BRX_SDK_PropertyWhiteBalance,
    LiveViewPhoto = BRX_SDK_PropertyLiveViewPhoto,
    LiveViewVideo = BRX_SDK_PropertyLiveViewVideo,
    LiveViewCrossPosGlobal = BRX_SDK_PropertyLiveViewCrossPosGlobal,
    ToggleLiveViewZoom = BRX_SDK_PropertyToggleLiveViewZoom,
    WantLiveView = BRX_SDK_PropertyWantLiveView,
    PowerSwitch = BRX_SDK_PropertyPowerSwitch,
    LensConnectionType = BRX_SDK_PropertyLensConnectionType,
    IntervalFramesRange = BRX_SDK_PropertyIntervalFramesRange,
    IntervalFrames = BRX_SDK_PropertyIntervalFrames,
    IntervalTimeRange = BRX_SDK_PropertyIntervalTimeRange,
    IntervalTime = BRX_SDK_PropertyIntervalTime
};
}

/* Frame record types passed to the frame callback: enum
 * BRX_SDK_FrameRecordType, where each says its payload and the order. */
namespace BRX_SDK_FrameType {
enum Id {
    FrameQuickViewOrientation = BRX_SDK_FrameQuickViewOrientation,
    FrameQuickViewThumbnail = BRX_SDK_FrameQuickViewThumbnail,
    FrameDownloadStartDng = BRX_SDK_FrameDownloadStartDng,
    FrameDownloadStartJpg = BRX_SDK_FrameDownloadStartJpg,
    FramePictureDng = BRX_SDK_FramePictureDng,
    FramePictureJpg = BRX_SDK_FramePictureJpg,
    FrameDownloadEmpty = BRX_SDK_FrameDownloadEmpty,
    FrameQuickViewFileName = BRX_SDK_FrameQuickViewFileName,
    FrameLiveView = BRX_SDK_FrameLiveView,
    FrameLiveViewZoom = BRX_SDK_FrameLiveViewZoom,
    FrameReleaseEnd = BRX_SDK_FrameReleaseEnd,
    FramePictureLost = BRX_SDK_FramePictureLost,
    FrameFromCard = BRX_SDK_FrameFromCard,
    FrameReleaseRefused = BRX_SDK_FrameReleaseRefused,
    FrameCardRoom = BRX_SDK_FrameCardRoom
};
}

BRX_SDK_EXPORT void BRX_SDK_init(void (*initCallback)(void*, bool, int), void* context);
BRX_SDK_EXPORT void BRX_SDK_exit();
BRX_SDK_EXPORT void BRX_SDK_capture();
BRX_SDK_EXPORT void BRX_SDK_capturePressed();
BRX_SDK_EXPORT void BRX_SDK_captureReleased();
BRX_SDK_EXPORT void BRX_SDK_requestClose();
BRX_SDK_EXPORT void BRX_SDK_setChangesCallback(void (*cb)(void*, int, const void*, unsigned int), void* context);
BRX_SDK_EXPORT void BRX_SDK_setFrameCallback(void (*cb)(void*, int, const void*, unsigned int), void* context);
BRX_SDK_EXPORT bool BRX_SDK_getProperty(int property, void* data, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_setProperty(int property, const void* data, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_setProperty(int property);
BRX_SDK_EXPORT bool BRX_SDK_setPropertyQueued(int property, const void* data, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_setPropertyQueued(int property);

/* Extensions. */
BRX_SDK_EXPORT int BRX_SDK_processEvents(int timeoutMs);
BRX_SDK_EXPORT bool BRX_SDK_setWantReleaseEnd(bool want);
BRX_SDK_EXPORT void BRX_SDK_setDebugFlags(unsigned int flags, bool enable);
BRX_SDK_EXPORT void BRX_SDK_setLogCallback(void (*callback)(void*, const char*), void* context);
BRX_SDK_EXPORT bool BRX_SDK_useVirtualCamera(int productId);
BRX_SDK_EXPORT bool BRX_SDK_keepVirtualCameraState(const char* folder, bool startAfresh);
BRX_SDK_EXPORT bool BRX_SDK_setVirtualCameraConnected(bool connected);
BRX_SDK_EXPORT bool BRX_SDK_pressVirtualCameraShutter();
BRX_SDK_EXPORT bool BRX_SDK_changeVirtualCameraProperty(unsigned int propertyCode, long long value);
BRX_SDK_EXPORT bool BRX_SDK_describeProperty(int property, BRX_SDK_PropertyDescription* out);
BRX_SDK_EXPORT bool BRX_SDK_formatValue(int property, const void* data, unsigned int size, char* text,
                                        unsigned int textSize);
BRX_SDK_EXPORT bool BRX_SDK_parseValue(int property, const char* text, void* data, unsigned int size,
                                       unsigned int* written);
BRX_SDK_EXPORT bool BRX_SDK_getChoices(int property, void* data, unsigned int size, unsigned int* written);
BRX_SDK_EXPORT bool BRX_SDK_isInitialStateDelivered();
BRX_SDK_EXPORT bool BRX_SDK_getCameraIdentity(BRX_SDK_CameraIdentity* out);
BRX_SDK_EXPORT bool BRX_SDK_getLiveViewArea(BRX_SDK_LiveViewArea* out);
BRX_SDK_EXPORT bool BRX_SDK_useNetworkCamera(const char* hostAndPort);

/* Several cameras on one machine. */
BRX_SDK_EXPORT bool BRX_SDK_selectCamera(const char* selector);
BRX_SDK_EXPORT bool BRX_SDK_useVirtualCameraWithSerial(int productId, const char* serialNumber);
BRX_SDK_EXPORT bool BRX_SDK_listCameras(BRX_SDK_CameraListing* cameras, unsigned int capacity, unsigned int* count);
BRX_SDK_EXPORT bool BRX_SDK_isCameraSelected(const BRX_SDK_CameraListing* camera);
BRX_SDK_EXPORT bool BRX_SDK_getCameraPort(char* port, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_getCameraHeldElsewhere(char* port, unsigned int size);
BRX_SDK_EXPORT bool BRX_SDK_setWantCardRoom(bool want);

/* The camera's card. */
BRX_SDK_EXPORT bool BRX_SDK_listCard(BRX_SDK_CardFile* files, unsigned int capacity, unsigned int* count);
BRX_SDK_EXPORT bool BRX_SDK_downloadCardFile(unsigned int id, void* buffer, unsigned long long size,
                                             unsigned long long* written);
BRX_SDK_EXPORT bool BRX_SDK_deliverCardFile(unsigned int id);
BRX_SDK_EXPORT bool BRX_SDK_readCardThumbnail(unsigned int id, void* buffer, unsigned int size,
                                              unsigned int* written);
BRX_SDK_EXPORT bool BRX_SDK_deleteCardFile(unsigned int id, char* reason, unsigned int reasonSize);
BRX_SDK_EXPORT bool BRX_SDK_getCardRoom(BRX_SDK_CardRoom* out);
BRX_SDK_EXPORT bool BRX_SDK_fillVirtualCameraCard(int count);

#endif
