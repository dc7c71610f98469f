#ifndef BRX_LOGIC_CONVERTERDRIVEMODE_H
#define BRX_LOGIC_CONVERTERDRIVEMODE_H

#include "BRX_Logic_ConverterBase.h"

// Drive modes; cameras without a table of their own get the common one.
class BRX_Logic_ConverterDriveMode : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterDriveMode(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
