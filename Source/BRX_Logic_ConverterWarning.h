#ifndef BRX_LOGIC_CONVERTERWARNING_H
#define BRX_LOGIC_CONVERTERWARNING_H

#include "BRX_Logic_ConverterBase.h"

// Texts of the camera's warning codes; code 0, no warning, has an empty text.
class BRX_Logic_ConverterWarning : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterWarning(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
