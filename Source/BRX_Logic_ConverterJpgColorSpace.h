#ifndef BRX_LOGIC_CONVERTERJPGCOLORSPACE_H
#define BRX_LOGIC_CONVERTERJPGCOLORSPACE_H

#include "BRX_Logic_ConverterBase.h"

// Colour space of JPG pictures.
class BRX_Logic_ConverterJpgColorSpace : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    BRX_Logic_ConverterJpgColorSpace();

    // Rebuilds the fixed table.
    void init();
};

#endif
