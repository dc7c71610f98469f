#ifndef BRX_LOGIC_CONVERTERFOCUSDISTANCE_H
#define BRX_LOGIC_CONVERTERFOCUSDISTANCE_H

#include <QString>

// Focus distances. A code is a distance in millimetres; -1 means no valid
// distance and 0x7FFFFFFF infinity. Any other code is read as unsigned.
// Holds the focus range of the current lens, set by the controller.
class BRX_Logic_ConverterFocusDistance
{
public:
    static const int kInvalidCode = -1;
    static const int kInfinityCode = 0x7FFFFFFF;

    virtual ~BRX_Logic_ConverterFocusDistance();

    void setFocusPositionMax(int position);
    void setFocusPositionMin(int position);
    int focusPositionMax() const;
    int focusPositionMin() const;

    // -1 for metres <= 0 (or not a number), infinity from 1e6 m on.
    static int codeFromMeters(double meters);
    // 0.0 for -1, 1e6 for infinity.
    static double metersFromCode(int code);
    // Parses "Error", "Infinity" or a number of metres (feet when feet is
    // true); anything else, negative or too large gives -1.
    static int codeFromString(const QString& text, bool feet);
    // "Error", "Infinity", or the distance with 2 decimals below 10, else 1.
    static QString toString(int code, bool feet);

private:
    static double metersOfCode(int code);

    int m_focusPositionMax = 0;
    int m_focusPositionMin = 0;
};

#endif
