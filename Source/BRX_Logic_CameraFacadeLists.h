#ifndef BRX_LOGIC_CAMERAFACADELISTS_H
#define BRX_LOGIC_CAMERAFACADELISTS_H

// The camera model's tables, one row each: the facade's plain forwards to
// the settings record, the change dispatch and the operations passed on to
// its rooms. BRX_Logic_Camera declares the record's forwards from these lists
// and defines all of them from the same lists, so every forward takes the
// settings lock the same way and every row of a kind works alike.

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

// The change dispatch: what goes out for each flag of the change record, in
// the order the signals go out (ascending flag index, except that the lens
// connection type follows the maximum shutter time at once).
// Change(Flag, Getter, Signal) emits Signal with Getter's value;
// ChangeBy(Flag, Emitter) leaves it to an emitter of the camera model's own.
#define BRX_CAMERA_CHANGES(Change, ChangeBy)                                                       \
    Change(batteryInfo, batteryInfo, signalBatteryInfo)                                            \
    Change(batteryLevelIntern, batteryLevelIntern, signalBatteryLevelIntern)                       \
    Change(batteryLevelExtern, batteryLevelExtern, signalBatteryLevelExtern)                       \
    Change(maxShutterTime, maxShutterTime, signalMaxShutterTime)                                   \
    Change(lensConnectionType, lensConnectionType, signalLensConnectionType)                       \
    Change(powerSwitch, powerSwitch, signalPowerSwitch)                                            \
    Change(selfTimerRestTime, selfTimerRestTime, signalSelfTimerRestTime)                          \
    Change(bulbModeTime, bulbModeTime, signalBulbModeTime)                                         \
    Change(driveMode, driveMode, signalDriveMode)                                                  \
    Change(focusMode, focusMode, signalFocusMode)                                                  \
    Change(exposMetering, exposMetering, signalExposMetering)                                      \
    Change(exposCompens, exposCompens, signalExposCompens)                                         \
    Change(exposCompensStep, exposCompensStep, signalExposCompensStep)                             \
    Change(bracketingEnabled, bracketingEnabled, signalBracketEnabled)                             \
    Change(bracketingImageNumbers, bracketingImageNumbers, signalBracketImgNum)                    \
    Change(bracketingDeltaEV, bracketingDeltaEV, signalBracketDeltaEV)                             \
    Change(mirrorUpMode, mirrorUpMode, signalMirrorUpMode)                                         \
    Change(sensitivity, sensitivityAuto, signalSensitivityAuto)                                    \
    Change(sensitivity, sensitivity, signalSensitivity)                                            \
    Change(keyLock, keyLock, signalKeyLock)                                                        \
    Change(sensorFormat, sensorFormat, signalSensorFormat)                                         \
    Change(photoAspectRatio, photoAspectRatio, signalPhotoAspectRatio)                             \
    Change(jpgResolution, jpgResolution, signalJpgResolution)                                      \
    Change(videoFileFormat, videoFileFormat, signalVideoFileFormat)                                \
    Change(videoResAndFrRate, videoResAndFrRate, signalVideoResAndFrRate)                          \
    Change(videoFormatResol, videoFormatResol, signalVideoFormatResol)                             \
    Change(contrast, contrast, signalContrast)                                                     \
    Change(sharpness, sharpness, signalSharpness)                                                  \
    Change(saturation, saturation, signalSaturation)                                               \
    Change(monochrome, monochrome, signalMonochrome)                                               \
    Change(electronicShutter, electronicShutter, signalElectronicShutter)                          \
    Change(orientation, orientation, signalOrientation)                                            \
    Change(audioLevel, audioLevel, signalAudioLevel)                                               \
    Change(audioWindElim, audioWindElim, signalAudioWindElim)                                      \
    Change(audioVolSpeaker, audioVolSpeaker, signalAudioVolSpeaker)                                \
    Change(audioVolHeadphone, audioVolHeadphone, signalAudioVolHeadphone)                          \
    Change(audioVolMicrophone, audioVolMicrophone, signalAudioVolMicrophone)                       \
    Change(exposureSimulation, exposureSimulation, signalExposureSimulation)                       \
    Change(dngCompression, dngCompression, signalDngCompression)                                   \
    Change(flashStatus, flashStatus, signalFlashStatus)                                            \
    Change(flashXSymbol, flashXSymbol, signalFlashXSymbol)                                         \
    Change(lightBalance, lightBalance, signalLightBalance)                                         \
    Change(fileFormat, fileFormat, signalFileFormat)                                               \
    Change(whiteBalanceIndex, whiteBalanceIndex, signalWhiteBalance)                               \
    Change(whiteBalanceColorTemp, whiteBalanceColorTemp, signalWhiteBalTemp)                       \
    Change(jpgColorSpace, jpgColorSpace, signalJpgColorSpace)                                      \
    Change(autoreviewDuration, autoreviewDuration, signalAutoreviewDuration)                       \
    Change(autoPowerOff, autoPowerOff, signalAutoPowerOff)                                         \
    Change(exposureMode, exposureMode, signalExposureMode)                                         \
    ChangeBy(exposureMode, emitApertureIfAvailable)                                                \
    Change(exposureMode, shutterTime, signalShutterTime)                                           \
    Change(aperture, aperture, signalAperture)                                                     \
    Change(shutterTime, shutterTime, signalShutterTime)                                            \
    Change(focusDistance, focusDistance, signalFocusDistance)                                      \
    Change(focusConfirmation, focusConfirmation, signalFocusConfirmation)                          \
    ChangeBy(focusConfirmationEnabled, emitFocusConfirmationEnabled)                               \
    Change(focusConfirmationBadSignal, focusConfirmationBadSignal, signalFocusConfirmBadSig)       \
    Change(autoFocusLimit, autoFocusLimit, signalAutoFocusLimit)                                   \
    Change(autoFocusLimitDist, autoFocusLimitDist, signalAutoFocusLimitDist)                       \
    Change(warning, warning, signalWarnings)                                                       \
    Change(intervalFrames, intervalFrames, signalIntervalFrames)                                   \
    Change(intervalTime, intervalTime, signalIntervalTime)

// Operations passed on as they are to the room that does the work (release,
// focus, live view, image database, settings guard, transfer state): X(Type, Name,
// Parameters, Qualifier, Room, Target, Arguments) is Type Name Parameters
// Qualifier, which returns Room.Target Arguments. Focus operations hand on
// their own name for the log lines.
#define BRX_CAMERA_FORWARDS(X)                                                                                 \
    X(bool, timeExposurePrepare, (), , *m_release, timeExposurePrepare, ())                                    \
    X(void, timeExposureStart, (), , *m_release, timeExposureStart, ())                                        \
    X(bool, serialCaptureStop, (), , *m_release, serialCaptureStop, ())                                        \
    X(void, repeatSeriesStop, (), , *m_release, repeatSeriesStop, ())                                          \
    X(bool, isVideoRecording, (), const, *m_release, isVideoRecording, ())                                     \
    X(void, catchKeepAlive, (), , *m_release, catchKeepAlive, ())                                              \
    X(BRX_Logic_ReleaseState&, releaseState, (), , *m_release, state, ())                                      \
    X(bool, isReleaseInProgress, (), const, m_release->state(), isInProgress, ())                              \
    X(bool, isTimeExposureRunning, (), const, m_release->state(), isTimeExposureRunning, ())                   \
    X(void, setTimeExposureRunning, (bool running), , m_release->state(), setTimeExposureRunning, (running))   \
    X(void, restoreAutoPowerOff, (), , *m_guard, restoreAutoPowerOff, ())                                      \
    X(void, restoreStorageType, (), , *m_guard, restoreStorageType, ())                                        \
    X(void, setTransferInProgress, (bool inProgress), , m_transfer, setInProgress, (inProgress))               \
    X(bool, isTransferInProgress, (), const, m_transfer, isInProgress, ())                                     \
    X(bool, setFocusMode, (eVQFocusMode mode), , *m_focus, setFocusMode, (__PRETTY_FUNCTION__, mode))          \
    X(bool, changeToAutoFocusSingle, (), , *m_focus, changeToAutoFocus, (__PRETTY_FUNCTION__, false))          \
    X(bool, changeToAutoFocusContinuous, (), , *m_focus, changeToAutoFocus, (__PRETTY_FUNCTION__, true))       \
    X(bool, changeToManualFocus, (), , *m_focus, changeToManualFocus, (__PRETTY_FUNCTION__))                   \
    X(void, switchToMFMode, (), , *m_focus, switchToMFMode, (__PRETTY_FUNCTION__))                             \
    X(void, doLiveViewAFExec, (), , *m_focus, doLiveViewAFExec, (__PRETTY_FUNCTION__))                         \
    X(void, doLiveViewAFPressed, (), , *m_focus, doLiveViewAFPressed, (__PRETTY_FUNCTION__))                   \
    X(void, doLiveViewAFReleased, (), , *m_focus, doLiveViewAFReleased, (__PRETTY_FUNCTION__))                 \
    X(void, setLiveViewPhoto, (bool on), , *m_liveView, setLiveViewPhoto, (on))                                \
    X(void, setLiveViewVideo, (bool on), , *m_liveView, setLiveViewVideo, (on))                                \
    X(bool, setLiveViewCrossPos, (double x, double y), , *m_liveView, setLiveViewCrossPos, (x, y))             \
    X(bool, setLiveViewCrossPosGlobal, (double x, double y), , *m_liveView, setLiveViewCrossPosGlobal, (x, y)) \
    X(void, setLiveViewGCPipActive, (bool on), , *m_liveView, setLiveViewGCPipActive, (on))                    \
    X(void, doLiveViewGCPipPreview, (), , *m_liveView, doLiveViewGCPipPreview, ())                             \
    X(void, doLiveViewGCPipSave, (), , *m_liveView, doLiveViewGCPipSave, ())                                   \
    X(void, toggleLiveViewZoom, (), , *m_liveView, toggleLiveViewZoom, ())                                     \
    X(bool, wantsLiveView, (), const, *m_liveView, wantsLiveView, ())                                          \
    X(void, setWantLiveView, (bool want), , *m_liveView, setWantLiveView, (want))                              \
    X(void, setWaitLiveViewConsumed, (bool wait), , *m_liveView, setWaitLiveViewConsumed, (wait))              \
    X(void, catchLiveViewConsumed, (), , *m_liveView, catchLiveViewConsumed, ())                               \
    X(void, checkIfLiveViewIsActive, (), , *m_liveView, checkIfLiveViewIsActive, ())                           \
    X(void, catchLiveViewTimerFired, (), , *m_liveView, catchLiveViewTimerFired, ())                           \
    X(void, slotRebuildImageDB, (), , *m_imageDB, rebuild, ())                                                 \
    X(void, slotDelayedRebuildImageDB, (), , *m_imageDB, rebuildIfPending, ())                                 \
    X(int, imageDBCount, (), const, *m_imageDB, count, ())                                                     \
    X(BRX_Logic_ImageEntry*, imageDBEntry, (int index), const, *m_imageDB, entry, (index))                     \
    X(int, imageDBIndexOfHandle, (uint handle), const, *m_imageDB, indexOfHandle, (handle))                    \
    X(uint, imageDBHandle, (int index), const, *m_imageDB, handle, (index))                                    \
    X(int, imageDBOrientation, (int index), const, *m_imageDB, orientation, (index))                           \
    X(bool, removeFromImageDB, (uint handle), , *m_imageDB, remove, (handle))

#define BRX_CAMERA_DECLARE_CAPABILITY(Name) bool Name() const;
#define BRX_CAMERA_DECLARE_GETTER(Type, Name, RecordGetter, Default) Type Name() const;
#define BRX_CAMERA_DECLARE_SETTER(Name, ArgumentType, RecordSetter) bool Name(ArgumentType value);

#endif
