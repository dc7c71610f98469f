#ifndef BRX_COMMU_PTPCODES_H
#define BRX_COMMU_PTPCODES_H

#include <QtGlobal>

// The camera's device properties: X(Name, ValueType, ReadCode, WriteCode).
// The value type fixes the bytes exchanged with the camera (1, 2 or 4) and
// whether they are signed; a property written under a code of its own is read
// under ReadCode. Standard PTP properties carry their PTP names, vendor ones
// our labels. The camera access builds its typed accessors from this table.
#define BRX_DEVICE_PROPERTY_TABLE(X)                                \
    X(BatteryLevel, quint8, 0x5001, 0x5001)                        \
    X(WhiteBalance, quint16, 0x5005, 0x5005)                       \
    X(FocusMode, quint16, 0x500A, 0x500A)                          \
    X(ExposureMeteringMode, quint16, 0x500B, 0x500B)               \
    X(ExposureProgramMode, quint16, 0x500E, 0x500E)                \
    X(ExposureIndex, quint32, 0x500F, 0x500F)                      \
    X(ExposureBiasCompensation, qint16, 0x5010, 0x5010)            \
    X(StillCaptureMode, quint16, 0x5013, 0x5013)                   \
    X(Contrast, quint8, 0x5014, 0x5014)                            \
    X(Sharpness, quint8, 0x5015, 0x5015)                           \
    X(SupportedStreams, quint32, 0x5020, 0x5020)                   \
    X(EnabledStreams, quint32, 0x5021, 0x5021)                     \
    X(StreamVideoFormat, quint32, 0x5022, 0x5022)                  \
    X(StreamVideoFrameRate, quint32, 0x5025, 0x5025)               \
    X(IntervalFrames, quint32, 0xD000, 0xD000)                     \
    X(IntervalTime, quint32, 0xD001, 0xD001)                       \
    X(FileFormat, quint32, 0xD004, 0xD004)                         \
    X(BracketingEnabled, quint32, 0xD005, 0xD005)                  \
    X(BracketingFrames, quint32, 0xD006, 0xD006)                   \
    X(BracketingAperture, quint32, 0xD007, 0xD007)                 \
    X(BracketingAutomatic, quint32, 0xD008, 0xD008)                \
    X(MirrorUpMode, quint32, 0xD00A, 0xD00A)                       \
    X(PhotoResolutionJPG, quint32, 0xD00F, 0xD00F)                 \
    X(AudioLevel, quint32, 0xD012, 0xD012)                         \
    X(AudioWindElim, quint32, 0xD013, 0xD013)                      \
    X(WhiteBalanceColorTemp, quint32, 0xD014, 0xD014)              \
    X(ColorManagement, quint32, 0xD015, 0xD015)                    \
    X(Saturation, quint32, 0xD016, 0xD016)                         \
    X(ExternalShooting, quint32, 0xD018, 0xD018)                   \
    X(AutoreviewDuration, quint32, 0xD01A, 0xD01A)                 \
    X(AutoPowerOff, quint32, 0xD024, 0xD024)                       \
    X(KeyLock, quint32, 0xD02D, 0xD02D)                            \
    X(Language, quint32, 0xD036, 0xD036)                           \
    X(VideoFileFormat, quint32, 0xD03F, 0xD03F)                    \
    X(ExposCompensStepSize, quint32, 0xD040, 0xD040)               \
    X(AutoFocusLimit, quint32, 0xD04E, 0xD04E)                     \
    X(PhotoAspectRatio, quint32, 0xD04F, 0xD04F)                   \
    X(SensorFormat, quint32, 0xD050, 0xD050)                       \
    X(AutoFocusLimitDist, quint32, 0xD06F, 0xD06F)                 \
    X(ExposTimeBulbPreset, quint32, 0xD079, 0xD079)                \
    X(VideoFormatResol, quint32, 0xD082, 0xD082)                   \
    X(ExposureSimulation, quint32, 0xD115, 0xD115)                 \
    X(AudioVolSpeaker, quint32, 0xD121, 0xD121)                    \
    X(AudioVolHeadphone, quint32, 0xD122, 0xD122)                  \
    X(AudioVolMicrophone, quint32, 0xD123, 0xD123)                 \
    X(VideoResAndFrRate, quint32, 0xD125, 0xD125)                  \
    X(Monochrome, quint32, 0xD13B, 0xD13B)                         \
    X(BatteryLevelExtern, quint32, 0xD608, 0xD608)                 \
    X(ExposureTime, quint32, 0xD60C, 0xD03B)                       \
    X(Aperture, quint32, 0xD60E, 0xD03C)                           \
    X(SensitivityASA, quint32, 0xD610, 0xD610)                     \
    X(Lightmeter, quint32, 0xD615, 0xD615)                         \
    X(BatteryInfo, quint32, 0xD616, 0xD616)                        \
    X(FlashStatus, quint32, 0xD618, 0xD618)                        \
    X(FlashSyncStatus, quint32, 0xD619, 0xD619)                    \
    X(FocusConfirmValue, quint32, 0xD621, 0xD621)                  \
    X(FocusConfirmBadSignal, quint32, 0xD622, 0xD622)              \
    X(FocusConfirmEnabled, quint32, 0xD623, 0xD623)                \
    X(ExposureTimeMax, quint32, 0xD625, 0xD625)                    \
    X(PowerSwitch, quint32, 0xD626, 0xD626)                        \
    X(SelfTimerRestTime, quint32, 0xD627, 0xD627)                  \
    X(BulbModeTime, quint32, 0xD628, 0xD628)                       \
    X(FocusDistance, quint32, 0xD62B, 0xD62B)                      \
    X(StreamVideoResolution, quint32, 0xD632, 0xD632)              \
    X(LensConnectionType, quint32, 0xD643, 0xD643)                 \
    X(Orientation, quint32, 0xD65F, 0xD65F)

// Properties the camera only accepts writes for: X(Name, ValueType, WriteCode).
#define BRX_DEVICE_PROPERTY_WRITE_ONLY_TABLE(X) X(ElectronicShutter, quint32, 0xD080)

#define BRX_DEVICE_PROPERTY_CODE(Name, Type, ReadCode, WriteCode) kDeviceProp##Name = ReadCode,
#define BRX_DEVICE_PROPERTY_WRITE_ONLY_CODE(Name, Type, WriteCode) kDeviceProp##Name = WriteCode,

// Every PTP code the library and its virtual camera speak: the standard
// ones (ISO 15740, and the MTP object properties) and the vendor extension.
// The camera access and the virtual camera take them as their own names by
// deriving from this struct; anyone else names them through it.
struct BRX_Commu_PtpCodes
{
    enum Code : quint16 {
        // --- Device properties ---
        BRX_DEVICE_PROPERTY_TABLE(BRX_DEVICE_PROPERTY_CODE)
        BRX_DEVICE_PROPERTY_WRITE_ONLY_TABLE(BRX_DEVICE_PROPERTY_WRITE_ONLY_CODE)
        kDevicePropExposureTimeWrite = 0xD03B,
        kDevicePropApertureWrite = 0xD03C,
        kDevicePropExposureTimeChanged = 0xD60D, // reported instead of 0xD60C
        kDevicePropApertureChanged = 0xD60F,     // reported instead of 0xD60E
        kDevicePropLensChanged = 0xD620,         // never read; means "lens changed"

        // --- Operations ---
        kOpGetDeviceInfo = 0x1001,
        kOpOpenSession = 0x1002,
        kOpCloseSession = 0x1003,
        kOpGetStorageIDs = 0x1004,
        kOpGetStorageInfo = 0x1005,
        kOpGetObjectHandles = 0x1007,
        kOpGetObjectInfo = 0x1008,
        kOpGetObject = 0x1009,
        kOpGetThumb = 0x100A,
        kOpDeleteObject = 0x100B,
        kOpInitiateCapture = 0x100E,
        kOpGetDevicePropDesc = 0x1014,
        kOpGetDevicePropValue = 0x1015,
        kOpSetDevicePropValue = 0x1016,
        kOpGetPartialObject = 0x101B,
        kOpGetStreamInfo = 0x1024,
        kOpGetObjectPropsSupported = 0x9801,
        kOpGetObjectPropValue = 0x9803,
        kOpSetCameraSettings = 0x9001,
        kOpGetCameraSettings = 0x9002,
        kOpGetLensData = 0x9003,
        kOpRelease = 0x9004,
        kOpOpenVQSession = 0x9005,
        kOpCloseVQSession = 0x9006,
        kOpTransferObjectReady = 0x9007,
        kOpGetGeotackingData = 0x9008,
        kOpControlAutoFocus = 0x9016,
        kOpControlBulbExposure = 0x9019,
        kOpControlContinuousExposure = 0x901A,
        kOpControlVideoRecording = 0x901B,
        kOpControlPhotoLiveView = 0x901C,
        kOpKeepCameraActive = 0x901D,
        kOpMoveLens = 0x901E,
        kOpGet3DAxisData = 0x9020,
        kOpToggleZoomMode = 0x9021,
        kOpSetFocusCrossPosition = 0x9022,
        kOpControlLVWhiteBalance = 0x9023,
        kOpGetStreamData = 0x9025,

        // --- Responses ---
        kResponseOK = 0x2001,
        kResponseGeneralError = 0x2002,
        kResponseSessionNotOpen = 0x2003,
        kResponseInvalidTransactionID = 0x2004,
        kResponseOperationNotSupported = 0x2005,
        kResponseParameterNotSupported = 0x2006,
        kResponseInvalidStorageID = 0x2008,
        kResponseInvalidObjectHandle = 0x2009,
        kResponseDevicePropNotSupported = 0x200A,
        kResponseStoreFull = 0x200C,
        kResponseObjectWriteProtected = 0x200D,
        kResponseAccessDenied = 0x200F,
        kResponseNoThumbnailPresent = 0x2010,
        kResponseSpecificationByFormatUnsupported = 0x2014,
        kResponseDeviceBusy = 0x2019,
        kResponseInvalidDevicePropFormat = 0x201B,
        kResponseInvalidDevicePropValue = 0x201C,
        kResponseInvalidParameter = 0x201D,
        kResponseSessionAlreadyOpen = 0x201E,
        kResponseTransactionCancelled = 0x201F,
        kResponseInvalidObjectPropCode = 0xA801,

        // --- Events: the standard ones, then the vendor's (prefix kVQ). A
        // platform that delivers events as 32-bit identifiers carries the
        // code in the upper 16 bits.
        kEventObjectAdded = 0x4002,
        kEventObjectRemoved = 0x4003,
        kEventStoreAdded = 0x4004,
        kEventStoreRemoved = 0x4005,
        kEventRequestObjectTransfer = 0x4009,
        kEventStorageInfoChanged = 0x400C,
        kEventCaptureComplete = 0x400D,
        kVQCameraSettingsChanged = 0xC000,
        kVQLensChanged = 0xC002,
        kVQBulbTick = 0xC006,
        kVQSelfTimerTick = 0xC007,
        kVQGeoTackingStatusChanged = 0xC008,
        kVQDevicePropChanged = 0xC00A,
        kVQ3DAxisDataChanged = 0xC00C,

        // --- Object formats and object properties ---
        kFormatUndefined = 0x3000,
        kFormatFolder = 0x3001, // an association
        kFormatJpg = 0x3801,    // EXIF/JPEG
        kFormatDng = 0x3802,    // TIFF/EP, as the camera announces its DNG files
        kObjectPropOrientation = 0xD800,
    };

    // The parameter of OpenVQSession and CloseVQSession.
    static constexpr quint32 kVQSessionKey = 0xFF55;
};

// Release stages: the first parameter of the release operation (0x9004),
// which products without it express through other operations. Stages that
// begin and end something stand in pairs.
enum eVQReleaseMode : int {
    kVQReleaseCapture = 0,
    kVQReleaseAutoFocusStart = 1, kVQReleaseAutoFocusStop = 2,
    kVQReleaseTimeExposureStart = 7, kVQReleaseTimeExposureEnd = 8,
    kVQReleaseLensStepNear = 9, kVQReleaseLensStepFar = 10, kVQReleaseLensToPosition = 11,
    kVQReleaseSeriesStart = 12, kVQReleaseSeriesStop = 13,
    kVQReleaseKeepAlive = 14,
    kVQReleaseVideoStart = 15, kVQReleaseVideoStop = 16,
    kVQReleaseLiveViewStart = 17, kVQReleaseLiveViewStop = 18,
    kVQReleaseZoomToggle = 20,
    kVQReleaseFocusCross = 21,
    kVQReleaseLiveViewWhiteBalance = 22,
};

#endif
