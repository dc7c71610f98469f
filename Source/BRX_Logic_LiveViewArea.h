#ifndef BRX_LOGIC_LIVEVIEWAREA_H
#define BRX_LOGIC_LIVEVIEWAREA_H

#include <mutex>

// Where the latest live-view frame looks, in fractions of the sensor, from
// the camera model's zoom record. The record comes in two parts, zoom level
// and focus first, then the area the frame shows; only a whole record is
// published. Fed in the controller thread, read in any.
class BRX_Logic_LiveViewArea
{
public:
    struct Area {
        int zoomLevel;
        double x, y, width, height;
        double focusX, focusY;
    };

    // False before the first whole record since live view started.
    bool current(Area* area) const;
    // The focus position is relative to the area that follows.
    void takeZoomInfo(int zoomLevel, double focusX, double focusY);
    void takeZoomRect(double x, double y, double width, double height);
    // Live view ended: no record until the next one.
    void forget();

private:
    Area m_pending{};
    mutable std::mutex m_lock;
    Area m_area{};
    bool m_known = false;
};

#endif
