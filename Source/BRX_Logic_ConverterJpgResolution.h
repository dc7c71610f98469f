#ifndef BRX_LOGIC_CONVERTERJPGRESOLUTION_H
#define BRX_LOGIC_CONVERTERJPGRESOLUTION_H

#include "BRX_Logic_ConverterBase.h"

// Resolution of JPG pictures.
class BRX_Logic_ConverterJpgResolution : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterJpgResolution(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
