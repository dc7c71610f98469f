#ifndef BRX_LOGIC_CONVERTERMONOCHROME_H
#define BRX_LOGIC_CONVERTERMONOCHROME_H

#include "BRX_Logic_ConverterBase.h"

// Monochrome picture style on or off.
class BRX_Logic_ConverterMonochrome : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterMonochrome();

    // Rebuilds the fixed table.
    void init();
};

#endif
