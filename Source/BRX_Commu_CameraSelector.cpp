#include "BRX_Commu_CameraSelector.h"
#include "BRX_Debug.h"

#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>

namespace {

typedef BRX_Commu_CameraSelector Selector;

QMutex g_selectionMutex;
Selector g_selected;

const QString kSerialPrefix = QStringLiteral("serial:");
const QString kPortPrefix = QStringLiteral("usb:");
const QString kProductPrefix = QStringLiteral("product:");

// Serial numbers in string descriptors are short printable texts.
const int kMaxSerialLength = 126;

} // namespace

bool BRX_Commu_CameraSelector::parse(const QString& text, BRX_Commu_CameraSelector* selector)
{
    Selector parsed;
    if (text.isEmpty()) {
        *selector = parsed;
        return true;
    }
    bool ok = false;
    if (text.startsWith(kPortPrefix)) {
        parsed.m_kind = kPort;
        parsed.m_value = text.mid(kPortPrefix.size());
        ok = parsePort(parsed.m_value);
    } else if (text.startsWith(kProductPrefix)) {
        parsed.m_kind = kProduct;
        QString hex = text.mid(kProductPrefix.size());
        hex.remove(QRegularExpression(QStringLiteral("^0[xX]")));
        const uint id = hex.toUInt(&ok, 16);
        ok = ok && !hex.startsWith(QLatin1Char('+')) && id > 0 && id <= 0xFFFF;
        parsed.m_productId = int(id);
        parsed.m_value = QStringLiteral("0x%1").arg(id, 4, 16, QLatin1Char('0'));
    } else {
        parsed.m_kind = kSerial;
        parsed.m_value = text.startsWith(kSerialPrefix) ? text.mid(kSerialPrefix.size()) : text;
        // A colon left in a bare serial is a prefix we do not know.
        ok = isPlainSerial(parsed.m_value) && (text.startsWith(kSerialPrefix) || !text.contains(QLatin1Char(':')));
    }
    if (ok)
        *selector = parsed;
    return ok;
}

// BUS-PORT[.PORT...]: numbers of 1 to 255, at most seven tiers of ports.
bool BRX_Commu_CameraSelector::parsePort(const QString& path)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,3})-([0-9]{1,3}(\\.[0-9]{1,3}){0,6})$"));
    const QRegularExpressionMatch match = form.match(path);
    if (!match.hasMatch())
        return false;
    QStringList numbers = match.captured(2).split(QLatin1Char('.'));
    numbers.prepend(match.captured(1));
    for (const QString& number : numbers) {
        const int value = number.toInt();
        if (value < 1 || value > 255 || number.startsWith(QLatin1Char('0')))
            return false;
    }
    return true;
}

bool BRX_Commu_CameraSelector::isPlainSerial(const QString& serial)
{
    static const QRegularExpression printable(QStringLiteral("^[\\x21-\\x7E]+$"));
    return serial.size() <= kMaxSerialLength && printable.match(serial).hasMatch();
}

QString BRX_Commu_CameraSelector::acceptedForms()
{
    return QStringLiteral("serial:SERIAL (or a bare SERIAL), usb:BUS-PORT[.PORT...], product:0xPPPP");
}

bool BRX_Commu_CameraSelector::select(const QString& text)
{
    Selector parsed;
    if (!parse(text, &parsed))
        return false;
    QMutexLocker locker(&g_selectionMutex);
    g_selected = parsed;
    debugPrint(kDebugPtp, "%s - %s", BRX_METHOD, parsed.m_kind == kAny ? "any camera" : qPrintable(parsed.text()));
    return true;
}

BRX_Commu_CameraSelector BRX_Commu_CameraSelector::selected()
{
    QMutexLocker locker(&g_selectionMutex);
    return g_selected;
}

QString BRX_Commu_CameraSelector::text() const
{
    switch (m_kind) {
    case kSerial:
        return kSerialPrefix + m_value;
    case kPort:
        return kPortPrefix + m_value;
    case kProduct:
        return kProductPrefix + m_value;
    default:
        return QString();
    }
}

bool BRX_Commu_CameraSelector::matches(const BRX_Commu_DeviceEntry& entry) const
{
    switch (m_kind) {
    case kSerial:
        return entry.serialNumber == m_value;
    case kPort:
        return entry.deviceId == kPortPrefix + m_value;
    case kProduct:
        return entry.productId == m_productId;
    default:
        return true;
    }
}
