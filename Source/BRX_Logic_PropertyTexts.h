#ifndef BRX_LOGIC_PROPERTYTEXTS_H
#define BRX_LOGIC_PROPERTYTEXTS_H

#include "BRX_Logic_APEXConverterShutterTime.h"
#include "BRX_Logic_PropertyCatalogue.h"
#include "BRX_Logic_PropertyDescriptions.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class BRX_Logic_ControllerConverters;
class BRX_Logic_ConverterBase;

// Turns property payloads into the texts photographers write and back, for
// one camera: its product's shutter-time rules and exposure step, and the
// converter tables that name its choices. Without converters (no camera) a
// choice reads as its number. Built for one call in the caller's thread; the
// converters must stay alive meanwhile and are only read.
class BRX_Logic_PropertyTexts
{
public:
    typedef BRX_Logic_PropertyCatalogue::Payload Payload;

    BRX_Logic_PropertyTexts(int productId, int compensStep, const BRX_Logic_ControllerConverters* converters);

    // The text of a payload; false for an unknown property or a size that
    // does not fit the payload.
    bool format(int property, const void* data, unsigned int size, QString* text) const;
    // The payload of a text: one of choices (the camera's values of the
    // property) by its text, else a value in the property's unit, else the
    // raw number. False for a text that reads as none of them.
    bool parse(int property, const QString& text, const QVector<double>& choices, QByteArray* payload) const;
    // The values the converter tables (or on and off) offer for a property a
    // host may set; empty when they offer none.
    QVector<double> tableChoices(int property) const;

    // The kind of one element of a payload: Int, Bool, Double or None.
    static Payload elementOf(Payload payload);
    // Elements as the bytes of their kind; false for a value the kind cannot
    // hold (a fraction or an overflow for Int, anything but 0 and 1 for Bool).
    static bool encode(Payload element, const QVector<double>& values, QByteArray* bytes);
    // The elements of size bytes of their kind; false for a size that is not
    // a multiple of the element's.
    static bool decode(Payload element, const void* data, unsigned int size, QVector<double>* values);

private:
    struct Subject {
        int property;
        const BRX_Logic_PropertyDescriptions::Entry& entry;
    };
    typedef QString (BRX_Logic_PropertyTexts::*Formatter)(const Subject& subject, double value) const;
    typedef bool (BRX_Logic_PropertyTexts::*Parser)(const Subject& subject, const QString& text, double* value) const;
    struct FormRow {
        Formatter format;
        Parser parse;
    };
    static const FormRow kForms[];

    static bool fitsCount(Payload payload, int count);
    QString formatElement(const Subject& subject, double value) const;
    bool parseElement(const Subject& subject, const QString& text, const QVector<double>& choices,
                      double* value) const;
    const BRX_Logic_ConverterBase* converter(int kind) const;
    static QString canonical(BRX_Logic_PropertyDescriptions::Unit unit, const QString& text);

    QString numberText(const Subject&, double value) const;
    QString namedText(const Subject& subject, double value) const;
    QString convertedText(const Subject& subject, double value) const;
    QString onOffText(const Subject&, double value) const;
    QString apertureText(const Subject&, double fNumber) const;
    QString shutterTimeText(const Subject&, double seconds) const;
    QString signedEvText(const Subject&, double milliEv) const;
    QString evText(const Subject&, double milliEv) const;
    QString isoText(const Subject& subject, double iso) const;
    QString whiteBalanceText(const Subject& subject, double value) const;
    QString distanceText(const Subject&, double metres) const;
    QString framesText(const Subject&, double frames) const;
    QString intervalTimeText(const Subject& subject, double seconds) const;
    QString percentText(const Subject&, double fraction) const;
    QString focusOffsetText(const Subject&, double offset) const;

    bool parseNone(const Subject&, const QString& text, double* value) const;
    bool parseNumber(const Subject&, const QString& text, double* value) const;
    bool parseNamed(const Subject& subject, const QString& text, double* value) const;
    bool parseConverted(const Subject& subject, const QString& text, double* value) const;
    bool parseOnOff(const Subject&, const QString& text, double* value) const;
    bool parseAperture(const Subject&, const QString& text, double* value) const;
    bool parseShutterTime(const Subject&, const QString& text, double* value) const;
    bool parseEv(const Subject&, const QString& text, double* value) const;
    bool parseIso(const Subject&, const QString& text, double* value) const;
    bool parseWhiteBalance(const Subject& subject, const QString& text, double* value) const;
    bool parseDistance(const Subject&, const QString& text, double* value) const;
    bool parseFrames(const Subject&, const QString& text, double* value) const;
    bool parseIntervalTime(const Subject& subject, const QString& text, double* value) const;
    bool parsePercent(const Subject&, const QString& text, double* value) const;
    bool parseFocusOffset(const Subject&, const QString& text, double* value) const;
    QVector<double> namedChoices(int property) const;

    const int m_productId;
    const BRX_Logic_ControllerConverters* m_converters;
    BRX_Logic_APEXConverterShutterTime m_shutterTime;
};

#endif
