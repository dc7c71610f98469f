#ifndef BRX_LOGIC_CONVERTERORIENTATION_H
#define BRX_LOGIC_CONVERTERORIENTATION_H

#include "BRX_Logic_ConverterBase.h"

// Camera orientation in degrees.
class BRX_Logic_ConverterOrientation : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterOrientation();

    // Rebuilds the fixed table.
    void init();
};

#endif
