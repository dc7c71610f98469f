#include "BRX_Logic_CameraLens.h"

#include "BRX_Commu_CameraAccess_Base.h"
#include "BRX_Debug.h"

#include <cmath>

namespace {

const quint32 kLensDataSize = 101;
const quint32 kLensTypeStringLength = 60;

// f-number of an APEX aperture code: 2^(Av / 2) with Av = code / 256.
double fNumberFromCode(qint16 code)
{
    return std::pow(2.0, code / 256.0 / 2.0);
}

const char* yesNo(bool value)
{
    return value ? "true" : "false";
}

} // namespace

BRX_Logic_CameraLens::BRX_Logic_CameraLens(BRX_Commu_CameraAccess_Base* access)
    : BRX_Logic_CameraDataset(access, kLensDataSize)
{
    recvFromCamera();
}

bool BRX_Logic_CameraLens::recvFromCamera()
{
    const bool ok = readFromCamera(&BRX_Commu_CameraAccess_Base::getLensData);
    if (isDebugFlagSet(kDebugLens))
        dump(BRX_METHOD);
    return ok;
}

quint8 BRX_Logic_CameraLens::getLensState() const
{
    return reader().readU8At(0);
}

bool BRX_Logic_CameraLens::isLensConnected() const
{
    return getLensState() == 1 || getLensState() == 2;
}

bool BRX_Logic_CameraLens::isAutoLensSelectionEnabled() const
{
    return getLensState() == 0 || getLensState() == 1;
}

QString BRX_Logic_CameraLens::getLensTypeString() const
{
    // Blank-padded by the camera; a null ends it early.
    const char* text = reinterpret_cast<const char*>(m_buffer.data()) + 1;
    return QString::fromLatin1(text, int(qstrnlen(text, kLensTypeStringLength)));
}

quint8 BRX_Logic_CameraLens::getLensType() const
{
    return reader().readU8At(61);
}

quint32 BRX_Logic_CameraLens::getLensSerialNumber() const
{
    return reader().readU32At(62);
}

quint8 BRX_Logic_CameraLens::getLensFirmwareVersion() const
{
    return reader().readU8At(66);
}

quint8 BRX_Logic_CameraLens::getCorrectionDataVersion() const
{
    return reader().readU8At(67);
}

qint16 BRX_Logic_CameraLens::getOpenApertureValue() const
{
    return qint16(reader().readU16At(68));
}

qint16 BRX_Logic_CameraLens::getCloseApertureValue() const
{
    return qint16(reader().readU16At(70));
}

quint8 BRX_Logic_CameraLens::getApertureSteps() const
{
    return reader().readU8At(72);
}

QString BRX_Logic_CameraLens::getApertureStepsText() const
{
    static const char* const texts[] = {"undefined", "1 EV", "1/2 EV", "1/3 EV"};
    const quint8 steps = getApertureSteps();
    return QLatin1String(steps < std::size(texts) ? texts[steps] : "illegal");
}

quint16 BRX_Logic_CameraLens::getFocalLengthMin() const
{
    return reader().readU16At(73);
}

quint16 BRX_Logic_CameraLens::getFocalLengthMax() const
{
    return reader().readU16At(75);
}

quint32 BRX_Logic_CameraLens::getFocusPositionMin() const
{
    return reader().readU32At(77);
}

quint32 BRX_Logic_CameraLens::getFocusPositionMax() const
{
    return reader().readU32At(81);
}

bool BRX_Logic_CameraLens::isCentralShutterAvailable() const
{
    return (reader().readU8At(85) & 0x01) != 0;
}

quint32 BRX_Logic_CameraLens::getLensID() const
{
    return reader().readU32At(89);
}

quint16 BRX_Logic_CameraLens::getSelectedFocalLength() const
{
    return reader().readU16At(93);
}

QString BRX_Logic_CameraLens::getLensFileVersion() const
{
    BRX_Commu_ByteReader bytes = reader();
    return QString("%1.%2.%3.%4")
        .arg(bytes.readU8At(95))
        .arg(bytes.readU8At(96))
        .arg(bytes.readU8At(97))
        .arg(bytes.readU8At(98));
}

void BRX_Logic_CameraLens::dump(const QString& caller) const
{
    dumpBuffer("lensData", caller);
    const std::string label = methodLabel(__PRETTY_FUNCTION__);
    const char* m = label.c_str();
    debugPrint(kDebugAlways, "%s - isLensConnected            = %d", m, isLensConnected());
    debugPrint(kDebugAlways, "%s - isAutoLensSelectionEnabled = %d", m, isAutoLensSelectionEnabled());
    debugPrint(kDebugAlways, "%s - lensTypeString             = \"%s\"", m,
               getLensTypeString().toLatin1().constData());
    debugPrint(kDebugAlways, "%s - lensType                   = %d", m, getLensType());
    debugPrint(kDebugAlways, "%s - lensSerialNumber           = %d", m, int(getLensSerialNumber()));
    debugPrint(kDebugAlways, "%s - lensFirmwareVersion        = %d", m, getLensFirmwareVersion());
    debugPrint(kDebugAlways, "%s - correctionDataVersion      = %d", m, getCorrectionDataVersion());
    const qint16 open = getOpenApertureValue();
    debugPrint(kDebugAlways, "%s - openApertureValue          = 0x%04X = %d (%.3lf)", m, quint16(open),
               open, fNumberFromCode(open));
    const qint16 close = getCloseApertureValue();
    debugPrint(kDebugAlways, "%s - closeApertureValue         = 0x%04X = %d (%.3lf)", m, quint16(close),
               close, fNumberFromCode(close));
    debugPrint(kDebugAlways, "%s - apertureSteps              = %s", m,
               getApertureStepsText().toLatin1().constData());
    debugPrint(kDebugAlways, "%s - focalLengthMin             = %d mm", m, getFocalLengthMin());
    debugPrint(kDebugAlways, "%s - focalLengthMax             = %d mm", m, getFocalLengthMax());
    debugPrint(kDebugAlways, "%s - focusPositionMin           = %.3lf m", m, getFocusPositionMin() / 1000.0);
    debugPrint(kDebugAlways, "%s - focusPositionMax           = %.3lf m", m, getFocusPositionMax() / 1000.0);
    debugPrint(kDebugAlways, "%s - isCentralShutterAvailable  = %s", m, yesNo(isCentralShutterAvailable()));
    debugPrint(kDebugAlways, "%s - lensID                     = %d", m, int(getLensID()));
    debugPrint(kDebugAlways, "%s - selectedFocalLength        = %d mm", m, getSelectedFocalLength());
    debugPrint(kDebugAlways, "%s - lensFileVersion            = %s", m,
               getLensFileVersion().toLatin1().constData());
}
