#ifndef BRX_LOGIC_CONVERTERSENSORFORMAT_H
#define BRX_LOGIC_CONVERTERSENSORFORMAT_H

#include "BRX_Logic_ConverterBase.h"

// Sensor area used for photos.
class BRX_Logic_ConverterSensorFormat : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterSensorFormat(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
