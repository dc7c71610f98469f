#ifndef BRX_LOGIC_CONVERTERPHOTOASPECTRATIO_H
#define BRX_LOGIC_CONVERTERPHOTOASPECTRATIO_H

#include "BRX_Logic_ConverterBase.h"

// Aspect ratio of photos.
class BRX_Logic_ConverterPhotoAspectRatio : public BRX_Logic_ConverterBase
{
    Q_OBJECT
public:
    explicit BRX_Logic_ConverterPhotoAspectRatio(int productId);

    // Rebuilds the table for productId.
    void init(int productId);
};

#endif
