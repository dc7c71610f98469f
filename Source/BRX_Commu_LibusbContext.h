#ifndef BRX_COMMU_LIBUSBCONTEXT_H
#define BRX_COMMU_LIBUSBCONTEXT_H

struct libusb_context;

// One libusb session. Shared by the scanner, the pipes it opened and the
// hot-plug watcher, so that the session ends only after the last of them.
class BRX_Commu_LibusbContext
{
public:
    // Initialises libusb; a failure is logged and leaves the context invalid.
    BRX_Commu_LibusbContext();
    ~BRX_Commu_LibusbContext();
    BRX_Commu_LibusbContext(const BRX_Commu_LibusbContext&) = delete;
    BRX_Commu_LibusbContext& operator=(const BRX_Commu_LibusbContext&) = delete;

    bool isValid() const { return m_context != nullptr; }
    libusb_context* get() const { return m_context; }

private:
    libusb_context* m_context = nullptr;
};

#endif
