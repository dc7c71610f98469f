// The struct and struct-M settings records: a block from the input (short
// blocks included) is decoded and dumped, setters the input picks change it,
// it is sent back, and a second block is read as the camera's change.
#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_CameraSettingsFactory.h"
#include "BRX_Logic_SettingsChanges.h"
#include "FakeCameraAccess.h"
#include "FuzzInput.h"
#include "FuzzSupport.h"

#include <iterator>
#include <memory>

namespace {

typedef BRX_Logic_CameraSettingsBase Record;
typedef void (Record::*IntSetter)(int);

const int kStructProducts[] = {0x2009, 0x2011, 0x2021, 0x2051};
const quint32 kBlockSize = 100;

const IntSetter kIntSetters[] = {
    &Record::setDriveMode, &Record::setFocusMode, &Record::setExposMetering, &Record::setExposCompens,
    &Record::setExposCompensStepSize, &Record::setBracketImgNum, &Record::setBracketDeltaEV,
    &Record::setBracketingAutomatic, &Record::setMirrorUpMode, &Record::setSensitivity, &Record::setFileFormat,
    &Record::setWhiteBalanceIndex, &Record::setWhiteBalanceColorTemp, &Record::setJpgColorSpace,
    &Record::setStorageType, &Record::setAutoreviewDuration, &Record::setAutoPowerOff, &Record::setSensorFormat,
    &Record::setPhotoAspectRatio, &Record::setJpgResolution, &Record::setVideoFileFormat,
    &Record::setVideoResAndFrRate, &Record::setVideoFormatResol, &Record::setContrast, &Record::setSharpness,
    &Record::setSaturation, &Record::setMonochrome, &Record::setElectronicShutter, &Record::setExposTimeBulbPreset,
    &Record::setAudioLevel, &Record::setAudioWindElim, &Record::setAudioVolSpeaker, &Record::setAudioVolHeadphone,
    &Record::setAudioVolMicrophone, &Record::setExposureSimulation, &Record::setLanguage, &Record::setExposureMode,
    &Record::setAutoFocusLimit, &Record::setIntervalFrames, &Record::setIntervalTime,
};
const int kIntSetterCount = int(std::size(kIntSetters));

// Setter numbers past the int setters reach the bool and double ones.
void applySetter(Record& record, quint8 choice, qint32 value)
{
    const int index = choice % (kIntSetterCount + 6);
    if (index < kIntSetterCount) {
        (record.*kIntSetters[index])(value);
        return;
    }
    switch (index - kIntSetterCount) {
    case 0: record.setBracketEnabled(value & 1); break;
    case 1: record.setKeyLock(value & 1); break;
    case 2: record.setDngCompression(value & 1); break;
    case 3: record.setFlashXSymbol(value & 1); break;
    case 4: record.setAperture(value / 256.0); break;
    default: record.setShutterTime(value / 65536.0); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    FakeCameraAccess access(kStructProducts[input.u8() % 4]);
    access.script(BRX_Commu_CameraAccess_Base::kOpGetCameraSettings, FakeCameraAccess::ok(input.chunk()));
    const std::unique_ptr<Record> record(BRX_Logic_CameraSettingsFactory::create(&access, nullptr));
    record->init();
    record->dump(QStringLiteral("fuzz"));
    for (int setters = input.u8() % 16; setters > 0; --setters) {
        const quint8 choice = input.u8();
        applySetter(*record, choice, qint32(input.u32()));
    }
    access.transactions.clear();
    record->sendIfChanged();
    for (const FakeCameraAccess::Transaction& transaction : access.transactions) {
        if (transaction.opCode == BRX_Commu_CameraAccess_Base::kOpSetCameraSettings)
            fuzzCheck(quint32(transaction.sent.size()) == kBlockSize, "settings block of another size sent");
    }
    access.script(BRX_Commu_CameraAccess_Base::kOpGetCameraSettings, FakeCameraAccess::ok(input.rest()));
    BRX_Logic_SettingsChanges changes;
    record->recvFromCamera(&changes);
    record->exit();
    return 0;
}
