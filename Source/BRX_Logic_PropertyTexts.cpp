#include "BRX_Logic_PropertyTexts.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Logic_APEXConverterAperture.h"
#include "BRX_Logic_ControllerConverters.h"
#include "BRX_Logic_ConverterBase.h"
#include "BRX_Logic_ConverterFocusDistance.h"
#include "BRX_SDK_C.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Descriptions = BRX_Logic_PropertyDescriptions;
using Unit = Descriptions::Unit;
using Form = Descriptions::Form;
using Payload = BRX_Logic_PropertyCatalogue::Payload;
using Kind = BRX_Logic_ControllerConverters::Kind;

const double kInfinityMetres = 1000000.0;
const double kBulb = -1.0;

bool readNumber(const QString& text, double* value)
{
    bool ok = false;
    const double number = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(number))
        return false;
    *value = number;
    return true;
}

// "1/125" or a plain number.
bool readFraction(const QString& text, double* value)
{
    const int slash = text.indexOf('/');
    if (slash < 0)
        return readNumber(text, value);
    double numerator = 0.0;
    double denominator = 0.0;
    if (!readNumber(text.left(slash), &numerator) || !readNumber(text.mid(slash + 1), &denominator)
        || denominator == 0.0)
        return false;
    *value = numerator / denominator;
    return true;
}

bool stripSuffix(QString* text, const QString& suffix)
{
    if (!text->endsWith(suffix, Qt::CaseInsensitive))
        return false;
    text->chop(suffix.size());
    *text = text->trimmed();
    return true;
}

bool stripPrefix(QString* text, const QString& prefix)
{
    if (!text->startsWith(prefix, Qt::CaseInsensitive))
        return false;
    *text = text->mid(prefix.size()).trimmed();
    return true;
}

// Case and blanks do not matter.
int indexOfText(const QStringList& texts, const QString& text)
{
    const QString wanted = text.simplified().remove(' ');
    for (int index = 0; index < texts.size(); ++index) {
        if (texts.at(index).simplified().remove(' ').compare(wanted, Qt::CaseInsensitive) == 0)
            return index;
    }
    return -1;
}

// At most one decimal, none when it is 0: 0.7, 1, 2.5.
QString shortDecimal(double value)
{
    QString text = QString::number(std::floor(value * 10.0 + 0.5) / 10.0, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
}

bool sameValue(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// "30 s", "2 min", "1 h", "1/125", "90".
bool readDuration(QString text, double* seconds)
{
    double unit = 1.0;
    if (stripSuffix(&text, "min"))
        unit = 60.0;
    else if (stripSuffix(&text, "h"))
        unit = 3600.0;
    else if (!stripSuffix(&text, "sec"))
        stripSuffix(&text, "s");
    if (!readFraction(text, seconds))
        return false;
    *seconds *= unit;
    return true;
}

// Between the elements of pairs and lists: "f/2.8, f/4", "1 to 9999".
const QRegularExpression kItemSeparator(QStringLiteral(",|\\bto\\b"));

// The decorations of a unit that a choice's text may be written without.
struct Decoration {
    Unit unit;
    const char* prefix;
    const char* suffix;
};

const Decoration kDecorations[] = {
    {Unit::FNumber, "f/", ""},   {Unit::Seconds, "", "s"},     {Unit::MilliEV, "+", "ev"},
    {Unit::Iso, "iso", "iso"},    {Unit::WhiteBalance, "", "k"}, {Unit::Metres, "", "m"},
    {Unit::Fraction, "", "%"},
};

} // namespace

// In the order of Form.
const BRX_Logic_PropertyTexts::FormRow BRX_Logic_PropertyTexts::kForms[] = {
    {&BRX_Logic_PropertyTexts::numberText, &BRX_Logic_PropertyTexts::parseNone},
    {&BRX_Logic_PropertyTexts::numberText, &BRX_Logic_PropertyTexts::parseNumber},
    {&BRX_Logic_PropertyTexts::namedText, &BRX_Logic_PropertyTexts::parseNamed},
    {&BRX_Logic_PropertyTexts::convertedText, &BRX_Logic_PropertyTexts::parseConverted},
    {&BRX_Logic_PropertyTexts::onOffText, &BRX_Logic_PropertyTexts::parseOnOff},
    {&BRX_Logic_PropertyTexts::apertureText, &BRX_Logic_PropertyTexts::parseAperture},
    {&BRX_Logic_PropertyTexts::shutterTimeText, &BRX_Logic_PropertyTexts::parseShutterTime},
    {&BRX_Logic_PropertyTexts::signedEvText, &BRX_Logic_PropertyTexts::parseEv},
    {&BRX_Logic_PropertyTexts::evText, &BRX_Logic_PropertyTexts::parseEv},
    {&BRX_Logic_PropertyTexts::isoText, &BRX_Logic_PropertyTexts::parseIso},
    {&BRX_Logic_PropertyTexts::whiteBalanceText, &BRX_Logic_PropertyTexts::parseWhiteBalance},
    {&BRX_Logic_PropertyTexts::distanceText, &BRX_Logic_PropertyTexts::parseDistance},
    {&BRX_Logic_PropertyTexts::framesText, &BRX_Logic_PropertyTexts::parseFrames},
    {&BRX_Logic_PropertyTexts::intervalTimeText, &BRX_Logic_PropertyTexts::parseIntervalTime},
    {&BRX_Logic_PropertyTexts::percentText, &BRX_Logic_PropertyTexts::parsePercent},
    {&BRX_Logic_PropertyTexts::focusOffsetText, &BRX_Logic_PropertyTexts::parseFocusOffset},
};

BRX_Logic_PropertyTexts::BRX_Logic_PropertyTexts(int productId, int compensStep,
                                                 const BRX_Logic_ControllerConverters* converters)
    : m_productId(productId)
    , m_converters(converters)
    , m_shutterTime(productId)
{
    static_assert(sizeof kForms / sizeof kForms[0] == int(Form::FocusOffset) + 1, "one row per form");
    m_shutterTime.setStepSize(compensStep);
}

// --- Payloads --------------------------------------------------------------------

BRX_Logic_PropertyTexts::Payload BRX_Logic_PropertyTexts::elementOf(Payload payload)
{
    switch (payload) {
    case Payload::Int:
    case Payload::IntPair:
    case Payload::IntList:
        return Payload::Int;
    case Payload::Double:
    case Payload::DoublePair:
    case Payload::DoubleList:
        return Payload::Double;
    case Payload::Bool:
    case Payload::None:
        break;
    }
    return payload;
}

bool BRX_Logic_PropertyTexts::fitsCount(Payload payload, int count)
{
    switch (payload) {
    case Payload::None:
        return count == 0;
    case Payload::IntPair:
    case Payload::DoublePair:
        return count == 2;
    case Payload::IntList:
    case Payload::DoubleList:
        return true;
    case Payload::Int:
    case Payload::Bool:
    case Payload::Double:
        break;
    }
    return count == 1;
}

bool BRX_Logic_PropertyTexts::decode(Payload element, const void* data, unsigned int size,
                                     QVector<double>* values)
{
    const unsigned int width = BRX_Logic_PropertyCatalogue::payloadSize(element);
    if (width == 0)
        return size == 0;
    if (size % width != 0 || !data)
        return false;
    const char* bytes = static_cast<const char*>(data);
    for (unsigned int offset = 0; offset < size; offset += width) {
        if (element == Payload::Bool) {
            values->append(bytes[offset] != 0 ? 1.0 : 0.0);
        } else if (element == Payload::Int) {
            qint32 number;
            std::memcpy(&number, bytes + offset, sizeof number);
            values->append(number);
        } else {
            double number;
            std::memcpy(&number, bytes + offset, sizeof number);
            values->append(number);
        }
    }
    return true;
}

bool BRX_Logic_PropertyTexts::encode(Payload element, const QVector<double>& values, QByteArray* bytes)
{
    bytes->clear();
    for (double value : values) {
        if (element == Payload::Double) {
            bytes->append(reinterpret_cast<const char*>(&value), sizeof value);
        } else if (element == Payload::Bool) {
            if (value != 0.0 && value != 1.0)
                return false;
            bytes->append(char(value));
        } else {
            const double whole = std::floor(value + 0.5);
            if (!sameValue(whole, value) || whole < std::numeric_limits<qint32>::min()
                || whole > std::numeric_limits<qint32>::max())
                return false;
            const qint32 number = qint32(whole);
            bytes->append(reinterpret_cast<const char*>(&number), sizeof number);
        }
    }
    return true;
}

// --- Texts of payloads ---------------------------------------------------------------

bool BRX_Logic_PropertyTexts::format(int property, const void* data, unsigned int size, QString* text) const
{
    const BRX_Logic_PropertyCatalogue::Entry* catalogue = BRX_Logic_PropertyCatalogue::find(property);
    QVector<double> values;
    if (!catalogue || !decode(elementOf(catalogue->payload), data, size, &values)
        || !fitsCount(catalogue->payload, values.size()))
        return false;
    const Subject subject{property, *Descriptions::find(property)};
    QStringList items;
    for (double value : qAsConst(values))
        items << formatElement(subject, value);
    *text = items.join(catalogue->payload == Payload::IntPair ? " to " : ", ");
    return true;
}

QString BRX_Logic_PropertyTexts::formatElement(const Subject& subject, double value) const
{
    return (this->*kForms[int(subject.entry.form)].format)(subject, value);
}

const BRX_Logic_ConverterBase* BRX_Logic_PropertyTexts::converter(int kind) const
{
    if (!m_converters || kind == Descriptions::kNone)
        return nullptr;
    return m_converters->get(Kind(kind));
}

QString BRX_Logic_PropertyTexts::numberText(const Subject&, double value) const
{
    return QString::number(value, 'g', 12);
}

QString BRX_Logic_PropertyTexts::namedText(const Subject& subject, double value) const
{
    const char* name = Descriptions::codeName(subject.property, int(value));
    return name ? QString::fromLatin1(name) : numberText(subject, value);
}

QString BRX_Logic_PropertyTexts::convertedText(const Subject& subject, double value) const
{
    const BRX_Logic_ConverterBase* table = converter(subject.entry.converter);
    const QString text = table ? table->textOf(value) : QString();
    return text.isEmpty() ? numberText(subject, value) : text;
}

QString BRX_Logic_PropertyTexts::onOffText(const Subject&, double value) const
{
    return value != 0.0 ? QStringLiteral("on") : QStringLiteral("off");
}

// The converter writes "f 5.6"; a camera without an aperture reports 0.
QString BRX_Logic_PropertyTexts::apertureText(const Subject&, double fNumber) const
{
    if (fNumber <= 0.0)
        return QStringLiteral("unknown");
    return BRX_Logic_APEXConverterAperture::toString(fNumber).replace("f ", "f/");
}

// The converter writes "1/125s", "30s" and, on some cameras, "4m".
QString BRX_Logic_PropertyTexts::shutterTimeText(const Subject& subject, double seconds) const
{
    if (seconds == kBulb)
        return QStringLiteral("B");
    QString text = m_shutterTime.toString(seconds);
    if (stripSuffix(&text, "m"))
        return text + QStringLiteral(" min");
    if (stripSuffix(&text, "s"))
        return text + QStringLiteral(" s");
    return numberText(subject, seconds) + QStringLiteral(" s");
}

// As the exposure-compensation converter writes them: "+0.7 EV", "0 EV", "-2 EV".
QString BRX_Logic_PropertyTexts::signedEvText(const Subject& subject, double milliEv) const
{
    return (milliEv > 0.0 ? QStringLiteral("+") : QString()) + evText(subject, milliEv);
}

QString BRX_Logic_PropertyTexts::evText(const Subject&, double milliEv) const
{
    return shortDecimal(milliEv / 1000.0) + QStringLiteral(" EV");
}

// The sensitivity table names a few ISO numbers "Pull 80" or "PUSH 25000".
QString BRX_Logic_PropertyTexts::isoText(const Subject& subject, double iso) const
{
    if (iso == 0.0)
        return QStringLiteral("Auto ISO");
    const QString number = QString::number(qint64(iso));
    const BRX_Logic_ConverterBase* table = converter(subject.entry.converter);
    const QString word = table ? table->textOf(iso).remove(number).trimmed().toLower() : QString();
    return QStringLiteral("ISO ") + number + (word.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(word));
}

QString BRX_Logic_PropertyTexts::whiteBalanceText(const Subject& subject, double value) const
{
    const BRX_Logic_ConverterBase* presets = converter(subject.entry.converter);
    const QString preset = presets ? presets->textOf(value) : QString();
    if (!preset.isEmpty())
        return preset;
    if (value > BRX_Logic_ControllerConverters::colourTemperaturePreset(m_productId))
        return QString::number(qint64(value)) + QStringLiteral(" K");
    return numberText(subject, value);
}

QString BRX_Logic_PropertyTexts::distanceText(const Subject&, double metres) const
{
    if (metres >= kInfinityMetres)
        return QStringLiteral("infinity");
    if (metres <= 0.0)
        return QStringLiteral("unknown");
    const int code = BRX_Logic_ConverterFocusDistance::codeFromMeters(metres);
    return BRX_Logic_ConverterFocusDistance::toString(code, false) + QStringLiteral(" m");
}

QString BRX_Logic_PropertyTexts::framesText(const Subject&, double frames) const
{
    return QString::number(qint64(frames)) + (frames == 1.0 ? QStringLiteral(" frame") : QStringLiteral(" frames"));
}

// The interval-time table writes "2s", "1.5Min", "1h".
QString BRX_Logic_PropertyTexts::intervalTimeText(const Subject& subject, double seconds) const
{
    const BRX_Logic_ConverterBase* table = converter(subject.entry.converter);
    static const QRegularExpression numberAndUnit(QStringLiteral("^([0-9.]+)\\s*([A-Za-z]+)$"));
    const QRegularExpressionMatch match = numberAndUnit.match(table ? table->textOf(seconds) : QString());
    if (!match.hasMatch())
        return QString::number(qint64(seconds)) + QStringLiteral(" s");
    return match.captured(1) + ' ' + match.captured(2).toLower();
}

QString BRX_Logic_PropertyTexts::percentText(const Subject&, double fraction) const
{
    return shortDecimal(fraction * 100.0) + '%';
}

// The camera's focus confirmation is a signed distance from focus, 0 in focus.
QString BRX_Logic_PropertyTexts::focusOffsetText(const Subject&, double offset) const
{
    if (offset == 0.0)
        return QStringLiteral("in focus");
    return QStringLiteral("off by ") + (offset > 0.0 ? QStringLiteral("+") : QString()) + QString::number(qint64(offset));
}

// --- Payloads of texts --------------------------------------------------------------

bool BRX_Logic_PropertyTexts::parse(int property, const QString& text, const QVector<double>& choices,
                                    QByteArray* payload) const
{
    const BRX_Logic_PropertyCatalogue::Entry* catalogue = BRX_Logic_PropertyCatalogue::find(property);
    if (!catalogue)
        return false;
    const Subject subject{property, *Descriptions::find(property)};
    QStringList items;
    if (catalogue->payload == Payload::None)
        items = text.trimmed().isEmpty() ? QStringList() : QStringList(text);
    else if (elementOf(catalogue->payload) == catalogue->payload)
        items << text;
    else
        items = text.split(kItemSeparator, Qt::SkipEmptyParts);
    if (!fitsCount(catalogue->payload, items.size()))
        return false;
    QVector<double> values;
    for (const QString& item : qAsConst(items)) {
        double value = 0.0;
        if (!parseElement(subject, item.trimmed(), choices, &value))
            return false;
        values << value;
    }
    return encode(elementOf(catalogue->payload), values, payload);
}

// A choice's text comes first, so "+0.7 EV" reads as the camera's 667.
bool BRX_Logic_PropertyTexts::parseElement(const Subject& subject, const QString& text,
                                           const QVector<double>& choices, double* value) const
{
    const QString wanted = canonical(subject.entry.unit, text);
    for (double choice : choices) {
        if (canonical(subject.entry.unit, formatElement(subject, choice)) == wanted) {
            *value = choice;
            return true;
        }
    }
    if (!(this->*kForms[int(subject.entry.form)].parse)(subject, text, value))
        return false;
    for (double choice : choices) {
        if (sameValue(choice, *value))
            *value = choice;
    }
    return true;
}

QString BRX_Logic_PropertyTexts::canonical(Unit unit, const QString& text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s"));
    QString result = text.toLower().remove(blanks);
    for (const Decoration& decoration : kDecorations) {
        if (decoration.unit != unit)
            continue;
        if (*decoration.prefix && result.startsWith(decoration.prefix))
            result.remove(0, int(std::strlen(decoration.prefix)));
        if (*decoration.suffix && result.endsWith(decoration.suffix))
            result.chop(int(std::strlen(decoration.suffix)));
    }
    return result;
}

bool BRX_Logic_PropertyTexts::parseNone(const Subject&, const QString&, double*) const
{
    return false;
}

bool BRX_Logic_PropertyTexts::parseNumber(const Subject&, const QString& text, double* value) const
{
    return readNumber(text, value);
}

bool BRX_Logic_PropertyTexts::parseNamed(const Subject& subject, const QString& text, double* value) const
{
    const int code = Descriptions::codeOfName(subject.property, text.simplified().toLatin1().constData());
    if (code == Descriptions::kNone)
        return readNumber(text, value);
    *value = code;
    return true;
}

bool BRX_Logic_PropertyTexts::parseConverted(const Subject& subject, const QString& text, double* value) const
{
    const BRX_Logic_ConverterBase* table = converter(subject.entry.converter);
    const int index = table ? indexOfText(table->texts(), text) : -1;
    if (index < 0)
        return readNumber(text, value);
    *value = table->values().at(index);
    return true;
}

bool BRX_Logic_PropertyTexts::parseOnOff(const Subject&, const QString& text, double* value) const
{
    static const QStringList kOn = {"on", "true", "yes", "1"};
    static const QStringList kOff = {"off", "false", "no", "0"};
    const QString word = text.toLower();
    if (!kOn.contains(word) && !kOff.contains(word))
        return false;
    *value = kOn.contains(word) ? 1.0 : 0.0;
    return true;
}

bool BRX_Logic_PropertyTexts::parseAperture(const Subject&, const QString& text, double* value) const
{
    if (text.compare("unknown", Qt::CaseInsensitive) == 0) {
        *value = 0.0;
        return true;
    }
    QString number = text;
    if (!stripPrefix(&number, "f/"))
        stripPrefix(&number, "f");
    return readNumber(number, value) && *value > 0.0;
}

bool BRX_Logic_PropertyTexts::parseShutterTime(const Subject&, const QString& text, double* value) const
{
    if (text.compare("B", Qt::CaseInsensitive) == 0 || text.compare("bulb", Qt::CaseInsensitive) == 0) {
        *value = kBulb;
        return true;
    }
    return readDuration(text, value) && *value >= 0.0;
}

// With its unit the value is in EV ("+0.7 EV", "1/3 EV"), without it in milli-EV.
bool BRX_Logic_PropertyTexts::parseEv(const Subject&, const QString& text, double* value) const
{
    QString number = text;
    if (!stripSuffix(&number, "EV"))
        return readNumber(number, value);
    if (!readFraction(number, value))
        return false;
    *value = std::floor(*value * 1000.0 + 0.5);
    return true;
}

bool BRX_Logic_PropertyTexts::parseIso(const Subject&, const QString& text, double* value) const
{
    static const QRegularExpression pullOrPush(QStringLiteral("\\(?(pull|push)\\)?"));
    QString number = text.toLower().remove("iso").remove(pullOrPush).trimmed();
    if (number == QLatin1String("auto")) {
        *value = 0.0;
        return true;
    }
    return readNumber(number, value) && *value >= 0.0;
}

bool BRX_Logic_PropertyTexts::parseWhiteBalance(const Subject& subject, const QString& text, double* value) const
{
    if (parseConverted(subject, text, value))
        return true;
    QString kelvin = text;
    return stripSuffix(&kelvin, "K") && readNumber(kelvin, value) && *value > 0.0;
}

bool BRX_Logic_PropertyTexts::parseDistance(const Subject&, const QString& text, double* value) const
{
    const QString word = text.toLower();
    if (word == QLatin1String("infinity") || word == QLatin1String("inf")) {
        *value = kInfinityMetres;
        return true;
    }
    if (word == QLatin1String("unknown")) {
        *value = 0.0;
        return true;
    }
    QString number = text;
    stripSuffix(&number, "m");
    return readNumber(number, value) && *value >= 0.0;
}

bool BRX_Logic_PropertyTexts::parseFrames(const Subject&, const QString& text, double* value) const
{
    QString number = text;
    if (!stripSuffix(&number, "frames"))
        stripSuffix(&number, "frame");
    return readNumber(number, value);
}

bool BRX_Logic_PropertyTexts::parseIntervalTime(const Subject& subject, const QString& text, double* value) const
{
    const BRX_Logic_ConverterBase* table = converter(subject.entry.converter);
    const int index = table ? indexOfText(table->texts(), text) : -1;
    if (index >= 0) {
        *value = table->values().at(index);
        return true;
    }
    return readDuration(text, value) && *value >= 0.0;
}

bool BRX_Logic_PropertyTexts::parsePercent(const Subject&, const QString& text, double* value) const
{
    QString number = text;
    const bool percent = stripSuffix(&number, "%");
    if (!readNumber(number, value))
        return false;
    if (percent)
        *value /= 100.0;
    return true;
}

bool BRX_Logic_PropertyTexts::parseFocusOffset(const Subject&, const QString& text, double* value) const
{
    QString number = text;
    if (text.compare("in focus", Qt::CaseInsensitive) == 0) {
        *value = 0.0;
        return true;
    }
    stripPrefix(&number, "off by");
    return readNumber(number, value);
}

// --- Choices -------------------------------------------------------------------------

QVector<double> BRX_Logic_PropertyTexts::tableChoices(int property) const
{
    const BRX_Logic_PropertyCatalogue::Entry* catalogue = BRX_Logic_PropertyCatalogue::find(property);
    if (!catalogue || catalogue->access != BRX_Logic_PropertyCatalogue::Access::ReadWrite)
        return {};
    const Descriptions::Entry& entry = *Descriptions::find(property);
    if (entry.form == Form::OnOff)
        return {0.0, 1.0};
    if (entry.form == Form::Named)
        return namedChoices(property);
    const BRX_Logic_ConverterBase* table = converter(entry.converter);
    if (!table)
        return {};
    QVector<double> values = table->values();
    if (entry.form != Form::WhiteBalance)
        return values;
    // The colour temperatures follow the presets, in kelvin whatever the table stores.
    if (const BRX_Logic_ConverterBase* kelvin = converter(Kind::WhiteBalTemp)) {
        for (QString text : kelvin->texts()) {
            double temperature = 0.0;
            if (stripSuffix(&text, "K") && readNumber(text, &temperature))
                values << temperature;
        }
    }
    return values;
}

// The M layout knows three exposure modes of the six.
QVector<double> BRX_Logic_PropertyTexts::namedChoices(int property) const
{
    const bool layoutM = BRX_Commu_ProductFamily::of(m_productId) == BRX_Commu_ProductFamily::kStructM;
    QVector<double> values;
    for (int code : Descriptions::namedCodes(property)) {
        if (!layoutM || property != BRX_SDK_PropertyExposureMode || code % 2 == 0)
            values << code;
    }
    return values;
}
