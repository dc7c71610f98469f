#ifndef BRX_LOGIC_CAMERAFACADELISTS_H
#define BRX_LOGIC_CAMERAFACADELISTS_H

// The camera facade's plain forwards to the settings record, one row each.
// BRX_Logic_Camera declares them from these lists and defines them from the
// same lists, so every forward takes the settings lock the same way.

// Capability queries: X(Name); the record's query of the same name, false
// without a record.
#define BRX_CAMERA_CAPABILITIES(X)                                                                 \
    X(hasAperture)                                                                                 \
    X(hasDngCompression)                                                                           \
    X(hasFocusConfirmation)                                                                        \
    X(hasFocusMode)                                                                                \
    X(hasJpgColorSpace)                                                                            \
    X(hasJpgResolution)                                                                            \
    X(hasStorageType)                                                                              \
    X(hasAutoreviewDuration)                                                                       \
    X(hasAutoPowerOff)                                                                             \
    X(hasSensorFormat)                                                                             \
    X(hasPhotoAspectRatio)                                                                         \
    X(hasVideoFileFormat)                                                                          \
    X(hasVideoResAndFrRate)                                                                        \
    X(hasVideoFormatResol)                                                                         \
    X(hasContrast)                                                                                 \
    X(hasSharpness)                                                                                \
    X(hasSaturation)                                                                               \
    X(hasMonochrome)                                                                               \
    X(hasAutoFocusLimit)                                                                           \
    X(hasElectronicShutter)                                                                        \
    X(hasOrientation)                                                                              \
    X(hasAudioLevel)                                                                               \
    X(hasAudioWindElim)                                                                            \
    X(hasAudioVolSpeaker)                                                                          \
    X(hasAudioVolHeadphone)                                                                        \
    X(hasAudioVolMicrophone)                                                                       \
    X(hasExposCompensStep)                                                                         \
    X(hasExposureSimulation)                                                                       \
    X(hasFlashStatus)                                                                              \
    X(hasFlashXSymbol)                                                                             \
    X(hasInterval)                                                                                 \
    X(hasKeyLock)                                                                                  \
    X(hasLiveView)                                                                                 \
    X(hasMirrorUpMode)                                                                             \
    X(hasLensConnectionType)                                                                       \
    X(hasPowerSwitch)                                                                              \
    X(hasVideoRecording)                                                                           \
    X(hasWhiteBalance)                                                                             \
    X(hasWarnings)

// Getters: X(Type, Name, RecordGetter, Default); Default answers without a record.
#define BRX_CAMERA_GETTERS(X)                                                                      \
    X(int, batteryInfo, batteryInfo, 0)                                                            \
    X(int, batteryLevelIntern, batteryLevelIntern, -1)                                             \
    X(int, batteryLevelExtern, batteryLevelExtern, -1)                                             \
    X(int, lensConnectionType, lensConnectionType, 0)                                              \
    X(int, powerSwitch, powerSwitch, 0)                                                            \
    X(int, selfTimerRestTime, selfTimerRestTime, -1)                                               \
    X(int, bulbModeTime, bulbModeTime, -1)                                                         \
    X(int, flashStatus, flashStatus, 0)                                                            \
    X(bool, flashXSymbol, flashXSymbol, false)                                                     \
    X(int, lightBalance, lightBalance, 0)                                                          \
    X(bool, keyLock, keyLock, false)                                                               \
    X(bool, mirrorUpMode, mirrorUpMode, false)                                                     \
    X(bool, dngCompression, dngCompression, false)                                                 \
    X(int, jpgColorSpace, jpgColorSpace, 1)                                                        \
    X(int, jpgResolution, jpgResolution, 0)                                                        \
    X(int, autoreviewDuration, autoreviewDuration, 5)                                              \
    X(int, autoPowerOff, autoPowerOff, 1)                                                          \
    X(int, sensorFormat, sensorFormat, 0)                                                          \
    X(int, photoAspectRatio, photoAspectRatio, 0)                                                  \
    X(int, videoFileFormat, videoFileFormat, 0)                                                    \
    X(int, videoResAndFrRate, videoResAndFrRate, 8)                                                \
    X(int, videoFormatResol, videoFormatResol, 3)                                                  \
    X(int, contrast, contrast, 1)                                                                  \
    X(int, sharpness, sharpness, 1)                                                                \
    X(int, saturation, saturation, 1)                                                              \
    X(int, monochrome, monochrome, 0)                                                              \
    X(int, electronicShutter, electronicShutter, 0)                                                \
    X(int, orientation, orientation, 0)                                                            \
    X(int, audioLevel, audioLevel, 0)                                                              \
    X(int, audioWindElim, audioWindElim, 0)                                                        \
    X(int, audioVolSpeaker, audioVolSpeaker, 3)                                                    \
    X(int, audioVolHeadphone, audioVolHeadphone, 3)                                                \
    X(int, audioVolMicrophone, audioVolMicrophone, 0)                                              \
    X(int, exposureSimulation, exposureSimulation, 0)                                              \
    X(int, exposureMode, exposureMode, 0)                                                          \
    X(int, exposMetering, exposMetering, 0)                                                        \
    X(int, exposCompens, exposCompens, 0)                                                          \
    X(int, exposCompensStep, exposCompensStep, 0)                                                  \
    X(int, sensitivity, sensitivity, 0)                                                            \
    X(bool, sensitivityAuto, sensitivityAuto, false)                                               \
    X(int, whiteBalanceIndex, whiteBalanceIndex, 0)                                                \
    X(int, whiteBalanceColorTemp, whiteBalanceColorTemp, 0)                                        \
    X(int, driveMode, driveMode, 0)                                                                \
    X(bool, bracketingEnabled, bracketingEnabled, false)                                           \
    X(int, bracketingDeltaEV, bracketingDeltaEV, 1000)                                             \
    X(int, focusMode, focusMode, 2)                                                                \
    X(int, focusDistance, focusDistance, 0)                                                        \
    X(int, focusConfirmation, focusConfirmation, 0)                                                \
    X(bool, focusConfirmationBadSignal, focusConfirmationBadSignal, false)                         \
    X(bool, focusConfirmationEnabled, focusConfirmationEnabled, false)                             \
    X(bool, autoFocusLimit, autoFocusLimit, false)                                                 \
    X(int, autoFocusLimitDist, autoFocusLimitDistance, 0)                                          \
    X(int, intervalFrames, intervalFrames, 0)                                                      \
    X(int, intervalTime, intervalTime, 0)                                                          \
    X(int, warning, warnings, 0)                                                                   \
    X(double, maxShutterTime, maxShutterTime, 0.0)                                                 \
    X(double, aperture, aperture, 0.0)

// Setters: X(Name, ArgumentType, RecordSetter); each stores the value in the
// record and sends the record when that changed it, and says whether the
// camera took it. The record takes bools where it keeps a code as 0 or 1.
#define BRX_CAMERA_SETTERS(X)                                                                      \
    X(setFlashXSymbol, bool, setFlashXSymbol)                                                      \
    X(setKeyLock, bool, setKeyLock)                                                                \
    X(setMirrorUpMode, bool, setMirrorUpMode)                                                      \
    X(setFileFormat, int, setFileFormat)                                                           \
    X(setDngCompression, bool, setDngCompression)                                                  \
    X(setJpgColorSpace, eVQColorManagement, setJpgColorSpace)                                      \
    X(setJpgResolution, eVQPhotoResolutionJPG, setJpgResolution)                                   \
    X(setAutoreviewDuration, eVQAutoreviewDuration, setAutoreviewDuration)                         \
    X(setAutoPowerOff, eVQAutoPowerOff, setAutoPowerOff)                                           \
    X(setSensorFormat, eVQSensorFormat, setSensorFormat)                                           \
    X(setPhotoAspectRatio, eVQPhotoAspectRatio, setPhotoAspectRatio)                               \
    X(setVideoFileFormat, eVQVideoFileFormat, setVideoFileFormat)                                  \
    X(setVideoResAndFrRate, eVQVideoResAndFrRate, setVideoResAndFrRate)                            \
    X(setVideoFormatResol, eVQVideoFormatResol, setVideoFormatResol)                               \
    X(setContrast, eVQContrast, setContrast)                                                       \
    X(setSharpness, eVQSharpness, setSharpness)                                                    \
    X(setSaturation, eVQSaturation, setSaturation)                                                 \
    X(setMonochrome, eVQMonochrome, setMonochrome)                                                 \
    X(setElectronicShutter, eVQElectronicShutter, setElectronicShutter)                            \
    X(setAudioLevel, eVQAudioLevel, setAudioLevel)                                                 \
    X(setAudioWindElim, eVQAudioWindElim, setAudioWindElim)                                        \
    X(setAudioVolSpeaker, int, setAudioVolSpeaker)                                                 \
    X(setAudioVolHeadphone, int, setAudioVolHeadphone)                                             \
    X(setAudioVolMicrophone, int, setAudioVolMicrophone)                                           \
    X(setExposureSimulation, eVQExposureSimulation, setExposureSimulation)                         \
    X(setExposMetering, eVQExposMetering, setExposMetering)                                        \
    X(setAperture, double, setAperture)                                                            \
    X(setExposCompens, int, setExposCompens)                                                       \
    X(setExposCompensStep, int, setExposCompensStepSize)                                           \
    X(setSensitivity, uint, setSensitivity)                                                        \
    X(setDriveMode, eVQDriveMode, setDriveMode)                                                    \
    X(setBracketDeltaEV, int, setBracketDeltaEV)                                                   \
    X(setAutoFocusLimit, bool, setAutoFocusLimit)                                                  \
    X(setIntervalFrames, int, setIntervalFrames)                                                   \
    X(setIntervalTime, int, setIntervalTime)

#define BRX_CAMERA_DECLARE_CAPABILITY(Name) bool Name() const;
#define BRX_CAMERA_DECLARE_GETTER(Type, Name, RecordGetter, Default) Type Name() const;
#define BRX_CAMERA_DECLARE_SETTER(Name, ArgumentType, RecordSetter) bool Name(ArgumentType value);

#endif
