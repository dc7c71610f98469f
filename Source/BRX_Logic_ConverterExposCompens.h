#ifndef BRX_LOGIC_CONVERTEREXPOSCOMPENS_H
#define BRX_LOGIC_CONVERTEREXPOSCOMPENS_H

#include "BRX_Logic_ConverterBase.h"

// Exposure compensation in milli-EV. Most cameras have one fixed table; 0x2041
// offers half or third steps as its exposure-step setting says.
class BRX_Logic_ConverterExposCompens : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    // The step size starts at 500 (1/2 EV).
    explicit BRX_Logic_ConverterExposCompens(int productId);

    // Rebuilds the table for productId and the current step size.
    void init(int productId);
    // Step in milli-EV (500 or 333); a different step rebuilds the table.
    void setStepSize(int step);
    int stepSize() const;

private:
    int m_productId = 0;
    int m_stepSize = 500;
};

#endif
