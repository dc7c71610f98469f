#ifndef BRX_LOGIC_APEXCONVERTERAPERTURE_H
#define BRX_LOGIC_APEXCONVERTERAPERTURE_H

#include <QString>
#include <QtGlobal>

class BRX_Logic_APEXConvertMap;

// Converts APEX aperture codes (aperture value x 256, f-number 2^(Av/2)) to the
// nominal f-numbers the camera shows, and back. Process-wide: the controller
// sets the connected camera's ProductId and exposure step; cameras without a
// table of nominal f-numbers use the formulas. Controller thread only, no locking.
class BRX_Logic_APEXConverterAperture
{
public:
    BRX_Logic_APEXConverterAperture() = delete;

    // A different ProductId or step rebuilds the table.
    static void setProductId(int productId);
    static int productId();
    // Step in thousandths of an EV: 500 (the initial step) or 333.
    static void setStepSize(int step);
    static int stepSize();
    static void initConvertMap();
    static const BRX_Logic_APEXConvertMap& convertMap();

    static double fNumberFromAv(double av);
    static double avFromFNumber(double fNumber);
    static double fNumberFromCode(qint16 code);
    static qint16 codeFromFNumber(double fNumber);
    // "f 8", "f 5.6".
    static QString toString(double fNumber);
    // Reads "f 2.8" or "2.8"; 0.0 if it does not parse.
    static double fNumberFromString(const QString& text);
};

#endif
