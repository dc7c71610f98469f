#ifndef BRX_LOGIC_CONVERTERSHARPNESS_H
#define BRX_LOGIC_CONVERTERSHARPNESS_H

#include "BRX_Logic_ConverterBase.h"

// Sharpness of the picture style.
class BRX_Logic_ConverterSharpness : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterSharpness();

    // Rebuilds the fixed table.
    void init();
};

#endif
