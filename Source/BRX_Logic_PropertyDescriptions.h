#ifndef BRX_LOGIC_PROPERTYDESCRIPTIONS_H
#define BRX_LOGIC_PROPERTYDESCRIPTIONS_H

#include <QVector>

class BRX_Logic_Camera;

// What a host learns about each property beyond the catalogue: the unit of
// its values, the form of their text, the converter table that names its
// choices, the property that carries its value list and the camera
// capability it needs. One row per number; the description exports and the
// text conversions are driven by it. Plain data: any thread.
class BRX_Logic_PropertyDescriptions
{
public:
    // The units of the public header, in its order and with its numbers.
    enum class Unit { None, Choice, OnOff, FNumber, Seconds, MilliEV, Iso, WhiteBalance, Metres, Pictures, Fraction };
    // The text of one value; several forms share a unit.
    enum class Form {
        None,
        Number,
        Named,
        Converted,
        OnOff,
        Aperture,
        ShutterTime,
        SignedEv,
        Ev,
        Iso,
        WhiteBalance,
        Distance,
        Frames,
        IntervalTime,
        Percent,
        FocusOffset,
    };
    typedef bool (BRX_Logic_Camera::*Offered)() const;

    static const int kNone = -1;

    struct Entry {
        Unit unit;
        Form form;
        // A BRX_Logic_ControllerConverters::Kind whose texts name the values, or kNone.
        int converter;
        int listProperty;
        // The camera's capability query; null: every camera offers it.
        Offered offered;
    };

    // The row of a property number, null outside the catalogue.
    static const Entry* find(int property);
    static const char* unitName(Unit unit);
    // Whether camera offers property; never for numbers outside the catalogue
    // and the reserved ones.
    static bool isOffered(int property, const BRX_Logic_Camera& camera);
    // The name of a Named property's code, null when it has none.
    static const char* codeName(int property, int code);
    // The code of a name or another name of it (case-insensitive), kNone
    // when there is none.
    static int codeOfName(int property, const char* name);
    // The codes a Named property has names for, in their order.
    static QVector<int> namedCodes(int property);
};

#endif
