#include "BRX_Commu_LibusbContext.h"
#include "BRX_Debug.h"

#include <libusb.h>

BRX_Commu_LibusbContext::BRX_Commu_LibusbContext()
{
    const int result = libusb_init(&m_context);
    if (result != LIBUSB_SUCCESS) {
        debugPrint(kDebugAlways, "%s - libusb initialisation failed: %s", BRX_METHOD, libusb_error_name(result));
        m_context = nullptr;
    }
}

BRX_Commu_LibusbContext::~BRX_Commu_LibusbContext()
{
    if (m_context)
        libusb_exit(m_context);
}
