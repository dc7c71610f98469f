#ifndef BRX_LOGIC_CAMERASETTINGSBYSTRUCT_H
#define BRX_LOGIC_CAMERASETTINGSBYSTRUCT_H

#include "BRX_Logic_CameraSettingsBase.h"
#include "BRX_Logic_SettingsBlock.h"
#include "BRX_Logic_SettingsChanges.h"

#include <memory>
#include <string>

class BRX_Logic_APEXConverterShutterTime;

// Settings record of products 0x2009 and 0x2011: all settings travel as one
// 100-byte block (getCameraSettings / setCameraSettings). Setters patch the
// held block; sendToCamera writes it back whole, so bytes this record does not
// interpret go back to the camera as they came. Reads the block at
// construction.
class BRX_Logic_CameraSettingsByStruct : public BRX_Logic_CameraSettingsBase
{
public:
    // A block field whose change raises a flag: width bytes at offset, masked;
    // nonZero compares only whether the field is 0.
    struct ChangeRule
    {
        int offset;
        int width;
        quint32 mask;
        BRX_Logic_SettingsChanges::Flag flag;
        bool nonZero;
    };

    BRX_Logic_CameraSettingsByStruct(BRX_Commu_CameraAccess_Base* cameraAccess,
                                     BRX_Logic_DeviceInfo* deviceInfo);
    ~BRX_Logic_CameraSettingsByStruct() override;

    // ISO number of a sensitivity index of this product's table, 0 for
    // automatic, an index outside the table or an unknown product.
    int sensitivityFromIndex(int index) const;
    // First index whose ISO number equals iso; 0 (automatic) when none does.
    int sensitivityToIndex(int iso) const;
    // The block as held (for diagnostics and tests).
    const BRX_Logic_SettingsBlock& block() const { return m_block; }

    void dump(const QString& caller) const override;
    void init() override;
    void exit() override;
    void recvFromCamera(quint16 devicePropertyCode, BRX_Logic_SettingsChanges* changes) override;
    void recvFromCamera(BRX_Logic_SettingsChanges* changes) override;
    void sendToCamera() override;
    BRX_SETTINGS_OVERRIDES

protected:
    // What sets a layout of the block apart beyond the operations a subclass
    // overrides: the class and the mode its log lines name, the fields whose
    // change raises a flag, the flags it always clears and its dump lines.
    struct Layout
    {
        const char* className;
        const char* mode;
        const ChangeRule* rules;
        size_t ruleCount;
        const BRX_Logic_SettingsChanges::Flag* unchanged;
        size_t unchangedCount;
        DumpRecord dumpRecord;
    };

    // For another layout, which reads the block itself once it is constructed.
    BRX_Logic_CameraSettingsByStruct(BRX_Commu_CameraAccess_Base* cameraAccess,
                                     BRX_Logic_DeviceInfo* deviceInfo, const Layout& layout);

    // Whether the held block shows a warning that before did not.
    virtual bool warningRaised(const BRX_Logic_SettingsBlock& before) const;

    // Offsets in the block; the M layout shares those it does not redefine.
    enum Offset {
        kOffDriveMode = 0x01,
        kOffFocusMode = 0x02,
        kOffExposMetering = 0x03,
        kOffExposCompens = 0x04,
        kOffBracketing = 0x05,       // 0 off, 1 three images, 2 five images
        kOffBracketDeltaEV = 0x06,
        kOffShutterMode = 0x07,
        kOffMirrorUpMode = 0x09,
        kOffSensitivity = 0x0a,
        kOffUSBspeed = 0x0b,
        kOffRAMBufferFreeCaptures = 0x0c,
        kOffSensorBoardTemperature = 0x0d,
        kOffSwitches = 0x0e,         // bits: keyLock, dngCompression, flashXSymbol
        kOffFileFormat = 0x0f,
        kOffMaxShutterTime = 0x10,
        kOffWhiteBalance = 0x12,
        kOffWhiteBalanceColorTemp = 0x13,
        kOffJpgColorSpace = 0x14,
        kOffStorageType = 0x1a,
        kOffAutoPowerOff = 0x2f,
        kOffLockAEAF = 0x3c,
        kOffJpgResolution = 0x3d,
        kOffLanguage = 0x40,
        kOffBatterySource = 0x41,
        kOffBatteryLevelIntern = 0x42,
        kOffBatteryLevelExtern = 0x43,
        kOffWarnings = 0x44,
        kOffISOValue = 0x45,
        kOffExposureMode = 0x47,
        kOffAperture = 0x48,
        kOffShutterTime = 0x4a,
        kOffFocusDistance = 0x4c,
        kOffFocusConfirmation = 0x50,
        kOffLightBalance = 0x51,
        kOffFlashCompensation = 0x52,
        kOffFlashStatus = 0x54,
        kOffFeatures = 0x62,
        kOffFeatures2 = 0x63,
    };
    enum SwitchBit { kBitKeyLock = 0, kBitDngCompression = 1, kBitFlashXSymbol = 2 };
    static const quint8 kNoBattery = 0xFF;

    // "<class>::<function>()" with the layout's class, which labels the log
    // lines of every operation a layout takes over unchanged.
    std::string recordLabel(const char* function) const;

    // Patch helpers: store when different and mark the record changed.
    void patchU8(int offset, int value);
    void patchU16(int offset, int value);
    void patchBit(int offset, int bit, bool on);

    // A setter the layout cannot serve: "... not available in <mode>".
    void refuseInLayout(const char* method);
    // A getter the layout cannot serve: "..., returning default", then value.
    template <typename T> T defaultInLayout(const char* method, T value) const
    {
        logDefault(method, m_layout.mode);
        return value;
    }

    BRX_Logic_SettingsBlock m_block;

private:
    // Reads the block; only a whole one replaces the held block (copied to
    // *before first), clears the changed flag, updates the bracketing memory
    // and dumps under flag 0x400. False, logged for method, when the read
    // failed: nothing changes but holdsCameraValues().
    bool receiveBlock(const char* method, BRX_Logic_SettingsBlock* before);
    // Writes the whole block and clears the changed flag, dumps for caller.
    // A block not read whole, or one the camera does not take, is not kept:
    // the block last on the camera comes back and the set counts as refused.
    void transmitBlock(const char* method);
    void takeBackBlock();
    // The last non-zero bracketing choice, from the held block.
    void rememberBracketing();
    // Sets every rule's flag when its field differs, clears the unchanged ones.
    void flagDifferences(const BRX_Logic_SettingsBlock& before, BRX_Logic_SettingsChanges* changes) const;
    // "<class>::<function>", which names the reason of a dump.
    std::string dumpCaller(const char* function) const;
    double secondsOfCode(qint16 code) const;
    template <typename T> static T defaultInStructMode(const char* method, T value)
    {
        logDefault(method, "struct mode");
        return value;
    }
    static void logDefault(const char* method, const char* mode);

    static const Layout kLayout;
    const Layout& m_layout;
    // The block as the camera last had it: read, or taken by it.
    BRX_Logic_SettingsBlock m_onCamera;
    std::unique_ptr<BRX_Logic_APEXConverterShutterTime> m_shutterConverter;
    bool m_fiveImageBracketing = false;
};

#endif
