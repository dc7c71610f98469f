#ifndef BRX_LOGIC_CONVERTERVIDEOFORMATRESOL_H
#define BRX_LOGIC_CONVERTERVIDEOFORMATRESOL_H

#include "BRX_Logic_ConverterBase.h"

// Combined video container, resolution and frame rate.
class BRX_Logic_ConverterVideoFormatResol : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterVideoFormatResol(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
