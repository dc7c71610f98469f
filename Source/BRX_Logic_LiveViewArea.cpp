#include "BRX_Logic_LiveViewArea.h"

bool BRX_Logic_LiveViewArea::current(Area* area) const
{
    std::lock_guard<std::mutex> locker(m_lock);
    if (m_known)
        *area = m_area;
    return m_known;
}

void BRX_Logic_LiveViewArea::takeZoomInfo(int zoomLevel, double focusX, double focusY)
{
    m_pending.zoomLevel = zoomLevel;
    m_pending.focusX = focusX;
    m_pending.focusY = focusY;
}

void BRX_Logic_LiveViewArea::takeZoomRect(double x, double y, double width, double height)
{
    const Area area = {m_pending.zoomLevel, x, y, width, height, x + m_pending.focusX * width,
                       y + m_pending.focusY * height};
    std::lock_guard<std::mutex> locker(m_lock);
    m_area = area;
    m_known = true;
}

void BRX_Logic_LiveViewArea::forget()
{
    std::lock_guard<std::mutex> locker(m_lock);
    m_known = false;
}
