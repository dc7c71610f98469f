#ifndef BRX_LOGIC_CONVERTERCONTRAST_H
#define BRX_LOGIC_CONVERTERCONTRAST_H

#include "BRX_Logic_ConverterBase.h"

// Contrast of the picture style.
class BRX_Logic_ConverterContrast : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterContrast();

    // Rebuilds the fixed table.
    void init();
};

#endif
