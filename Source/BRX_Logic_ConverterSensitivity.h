#ifndef BRX_LOGIC_CONVERTERSENSITIVITY_H
#define BRX_LOGIC_CONVERTERSENSITIVITY_H

#include "BRX_Logic_ConverterBase.h"

// ISO sensitivities, 0 = automatic.
class BRX_Logic_ConverterSensitivity : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterSensitivity(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
