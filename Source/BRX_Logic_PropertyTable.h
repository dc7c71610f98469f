#ifndef BRX_LOGIC_PROPERTYTABLE_H
#define BRX_LOGIC_PROPERTYTABLE_H

#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Logic_SettingsChanges.h"

#include <QtGlobal>

#include <array>
#include <atomic>

class BRX_Logic_Camera;
class BRX_Logic_CaptureControl;
class BRX_Logic_SetterRules;

// How each of the host's property numbers is read and written on one camera
// connection, as data: one row per number, most of them a getter of the
// camera model whose value is the payload and a setter of the setter rules
// that takes it. The few values the controller converts (focus distances in
// metres, the interval ranges, white balance as a colour temperature, the
// live-view modes, the emulated intervals) have readers of their own, which
// the notifications share.
//
// The catalogue has checked number, access and size before a row is used.
// Created and deleted with the connection by the controller; any thread, as
// the setter rules.
class BRX_Logic_PropertyTable
{
public:
    BRX_Logic_PropertyTable(BRX_Logic_Camera& camera, const BRX_Logic_ControllerConverters& converters,
                            BRX_Logic_SetterRules& rules, const BRX_Logic_CaptureControl& capture, int productId);

    bool hasReader(int property) const;
    bool hasWriter(int property) const;
    // Whether the camera has told the value the property reports: false
    // while the camera setting behind it was asked for and never answered
    // (get then fails and its notifications are held back). True for the
    // numbers no camera setting is behind.
    bool holdsCameraValue(int property) const;
    // Writes the property's payload to data; false, logged under label, when
    // the value cannot be had (a converter it needs is missing).
    bool readProperty(int property, void* data, const char* label) const;
    // Whether the camera took the value (see BRX_Logic_SetterRules).
    bool writeProperty(int property, const void* data);

    // A focus-distance code in metres: -1 is 0.0, 0x7FFFFFFF 1,000,000.0;
    // needs the focus-distance converter.
    bool readFocusDistance(int code, double* metres, const char* label) const;
    // Smallest and largest value of an interval converter, rounded half up.
    bool readRange(BRX_Logic_ControllerConverters::Kind kind, std::array<qint32, 2>* range, const char* label) const;
    // The white-balance index, or in the colour-temperature preset the
    // temperature in kelvin when the temperature converter knows it.
    int whiteBalanceValue(int index, int temperature) const;
    // The host's sensitivity: 0 while the camera chooses it (some cameras
    // go on reporting the ISO value they chose), else iso.
    int sensitivityValue(int iso) const;
    // The camera model's live-view mode, which 33 and 34 read: set in the
    // controller thread, read in any.
    void setLiveViewMode(int mode) { m_liveViewMode = mode; }

private:
    typedef bool (*Reader)(const BRX_Logic_PropertyTable& table, void* data, const char* label);
    typedef bool (*Writer)(BRX_Logic_PropertyTable& table, const void* data);
    struct Row {
        int property;
        Reader read;
        Writer write;
    };
    static const Row kRows[];
    static const Row* rowOf(int property);
    // The camera setting, as a flag of the change record, behind a property.
    struct Source {
        int property;
        BRX_Logic_SettingsChanges::Flag setting;
    };
    static const Source kSources[];

    template <auto Getter>
    static bool readGetter(const BRX_Logic_PropertyTable& table, void* data, const char*);
    template <auto Getter>
    static bool readDistance(const BRX_Logic_PropertyTable& table, void* data, const char* label);
    template <BRX_Logic_ControllerConverters::Kind kind>
    static bool readRangeOf(const BRX_Logic_PropertyTable& table, void* data, const char* label);
    template <auto Own, auto Emulated>
    static bool readInterval(const BRX_Logic_PropertyTable& table, void* data, const char*);
    template <int mode>
    static bool readLiveViewMode(const BRX_Logic_PropertyTable& table, void* data, const char*);
    static bool readWhiteBalance(const BRX_Logic_PropertyTable& table, void* data, const char*);
    static bool readSensitivity(const BRX_Logic_PropertyTable& table, void* data, const char*);

    template <typename T, bool (BRX_Logic_SetterRules::*Setter)(T)>
    static bool writeSetter(BRX_Logic_PropertyTable& table, const void* data);
    template <bool (BRX_Logic_SetterRules::*Command)()>
    static bool writeCommand(BRX_Logic_PropertyTable& table, const void*);
    static bool writeCrossPosition(BRX_Logic_PropertyTable& table, const void* data);

    BRX_Logic_Camera& m_camera;
    const BRX_Logic_ControllerConverters& m_converters;
    BRX_Logic_SetterRules& m_rules;
    const BRX_Logic_CaptureControl& m_capture;
    const int m_productId;
    std::atomic<int> m_liveViewMode{0};
};

#endif
