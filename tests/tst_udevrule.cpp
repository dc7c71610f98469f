// The udev rule the build makes (and the packages install): it lets users
// open every product of the library's table, still-image devices only, of
// the accepted vendors only, in lines udev can read. BRX_UDEV_RULE names
// another copy of the rule to check, such as the one a package installs.
#include "BRX_Commu_LibusbScanner.h"
#include "BRX_Commu_ProductFamily.h"
#include "BRX_Commu_UsbDeviceFilter.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

typedef BRX_Commu_UsbDeviceFilter Filter;

namespace {

// One line of a rule: its keys in order, each with operator and value.
struct Assignment {
    QString key;
    QString op;
    QString value;
};
typedef QList<Assignment> RuleLine;

bool parseLine(const QString& text, RuleLine* line)
{
    static const QRegularExpression assignment(
        QStringLiteral("^([A-Z_]+(?:\\{[A-Za-z_]+\\})?)(==|!=|\\+=|-=|:=|=)\"([^\"]*)\"$"));
    for (const QString& part : text.split(QStringLiteral(", "))) {
        const QRegularExpressionMatch match = assignment.match(part);
        if (!match.hasMatch())
            return false;
        line->append({match.captured(1), match.captured(2), match.captured(3)});
    }
    return true;
}

// The rule's lines, comments left out; empty when a line does not parse.
QList<RuleLine> readRule(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<RuleLine> lines;
    for (const QString& text : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        RuleLine line;
        if (text.startsWith('#'))
            continue;
        if (!parseLine(text, &line)) {
            qWarning("not a udev rule line: %s", qPrintable(text));
            return {};
        }
        lines.append(line);
    }
    return lines;
}

QString valueOf(const RuleLine& line, const QString& key, const QString& op)
{
    for (const Assignment& assignment : line) {
        if (assignment.key == key && assignment.op == op)
            return assignment.value;
    }
    return QString();
}

QString hex(int value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

// The lines before the first product's, each a guard that skips the rest.
QList<RuleLine> guards(const QList<RuleLine>& lines)
{
    QList<RuleLine> result;
    for (const RuleLine& line : lines) {
        if (!valueOf(line, QStringLiteral("ATTR{idProduct}"), QStringLiteral("==")).isEmpty())
            break;
        result.append(line);
    }
    return result;
}

// The value a guard line compares key with by op; empty when there is none.
QString guardValue(const QList<RuleLine>& lines, const QString& key, const QString& op)
{
    for (const RuleLine& line : guards(lines)) {
        const QString value = valueOf(line, key, op);
        if (!value.isEmpty() && valueOf(line, QStringLiteral("GOTO"), QStringLiteral("=")) == QLatin1String("brxsdk_end"))
            return value;
    }
    return QString();
}

QString ruleOfBuild()
{
    const QByteArray other = qgetenv("BRX_UDEV_RULE");
    return other.isEmpty() ? QStringLiteral(BRX_UDEV_RULE_FILE) : QString::fromLocal8Bit(other);
}

} // namespace

class TestUdevRule : public QObject
{
    Q_OBJECT

private slots:
    void wellFormed();
    void everyProductOfTheTable();
    void stillImageDevicesOnly();
    void configuredVendorsOnly();
    void refusesWhatIsNoVendor();
};

void TestUdevRule::wellFormed()
{
    const QList<RuleLine> lines = readRule(ruleOfBuild());
    QVERIFY(!lines.isEmpty());
    QCOMPARE(valueOf(lines.last(), QStringLiteral("LABEL"), QStringLiteral("=")), QStringLiteral("brxsdk_end"));
    for (const RuleLine& line : lines) {
        const QString target = valueOf(line, QStringLiteral("GOTO"), QStringLiteral("="));
        QVERIFY2(target.isEmpty() || target == QLatin1String("brxsdk_end"), qPrintable(target));
    }
}

void TestUdevRule::everyProductOfTheTable()
{
    QStringList named;
    for (const RuleLine& line : readRule(ruleOfBuild())) {
        const QString product = valueOf(line, QStringLiteral("ATTR{idProduct}"), QStringLiteral("=="));
        if (product.isEmpty())
            continue;
        named.append(product);
        QCOMPARE(valueOf(line, QStringLiteral("TAG"), QStringLiteral("+=")), QStringLiteral("uaccess"));
        QCOMPARE(valueOf(line, QStringLiteral("GROUP"), QStringLiteral("=")), QStringLiteral("plugdev"));
    }
    QStringList table;
    for (int product : BRX_Commu_ProductFamily::knownProducts())
        table.append(hex(product, 4));
    QVERIFY(!table.isEmpty());
    QCOMPARE(named, table);
}

void TestUdevRule::stillImageDevicesOnly()
{
    const QList<RuleLine> lines = readRule(ruleOfBuild());
    const QString stillImage = QStringLiteral("*:%1%2%3:*")
                                   .arg(hex(Filter::kStillImageClass, 2), hex(Filter::kStillImageSubClass, 2),
                                        hex(Filter::kStillImageProtocol, 2));
    QCOMPARE(guardValue(lines, QStringLiteral("ACTION"), QStringLiteral("==")), QStringLiteral("remove"));
    QCOMPARE(guardValue(lines, QStringLiteral("SUBSYSTEM"), QStringLiteral("!=")), QStringLiteral("usb"));
    QCOMPARE(guardValue(lines, QStringLiteral("ENV{DEVTYPE}"), QStringLiteral("!=")), QStringLiteral("usb_device"));
    QCOMPARE(guardValue(lines, QStringLiteral("ENV{ID_USB_INTERFACES}"), QStringLiteral("!=")), stillImage);

    QStringList vendors;
    for (quint16 vendor : BRX_Commu_LibusbScanner::configuredVendorIds())
        vendors.append(hex(vendor, 4));
    QCOMPARE(guardValue(lines, QStringLiteral("ATTR{idVendor}"), QStringLiteral("!=")), vendors.join('|'));
}

void TestUdevRule::configuredVendorsOnly()
{
    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("vendors.rules"));
    QCOMPARE(QProcess::execute(QStringLiteral(BRX_UDEV_RULE_TOOL), {path, QStringLiteral("0x04B0;1234")}), 0);
    const QList<RuleLine> lines = readRule(path);
    QCOMPARE(guardValue(lines, QStringLiteral("ATTR{idVendor}"), QStringLiteral("!=")), QStringLiteral("04b0|1234"));
    QCOMPARE(lines.size(), readRule(ruleOfBuild()).size()
                               + (BRX_Commu_LibusbScanner::configuredVendorIds().isEmpty() ? 1 : 0));
}

void TestUdevRule::refusesWhatIsNoVendor()
{
    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("refused.rules"));
    QCOMPARE(QProcess::execute(QStringLiteral(BRX_UDEV_RULE_TOOL), {path, QStringLiteral("0x12345")}), 2);
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestUdevRule)
#include "tst_udevrule.moc"
