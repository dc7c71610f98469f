#ifndef BRX_COMMU_VIRTUALCAMERATESTCARD_H
#define BRX_COMMU_VIRTUALCAMERATESTCARD_H

#include "BRX_Commu_VirtualCameraJpeg.h"

#include <QString>
#include <QtGlobal>

// What the virtual camera's sensor sees: colour bars over a grey ramp and a
// dark band, in sensor coordinates, with marks drawn on top: a four-digit
// number and a caption (a picture's number and settings) in the band, a
// ball (live view moves it) and the focus cross.
class BRX_Commu_VirtualCameraTestCard
{
public:
    // The whole card is the whole sensor, 3:2.
    static const int kWidth = 6000;
    static const int kHeight = 4000;

    struct Area {
        int x;
        int y;
        int width;
        int height;
    };
    static constexpr Area kWholeCard = {0, 0, kWidth, kHeight};

    // 0 to 9999 in the dark band; negative: none.
    void setNumber(int number) { m_number = number; }
    // One line under the number in capitals, digits, blanks and + - . / :
    // (other characters show as blanks), at most kCaptionLength of them.
    void setCaption(const QString& caption) { m_caption = caption.toUpper().left(kCaptionLength); }
    static const int kCaptionLength = 60;
    void setBall(int x, int y);
    void setCross(int x, int y);

    // area of the card scaled into width x height pixels; the area keeps its
    // aspect, black fills the rest.
    BRX_Commu_VirtualCameraJpeg::Image render(const Area& area, int width, int height) const;
    // Only rowCount rows of that picture from firstRow on: large pictures
    // are made a band at a time.
    BRX_Commu_VirtualCameraJpeg::Image renderRows(const Area& area, int width, int height, int firstRow,
                                                  int rowCount) const;

private:
    int m_number = -1;
    QString m_caption;
    bool m_hasBall = false;
    int m_ballX = 0;
    int m_ballY = 0;
    bool m_hasCross = false;
    int m_crossX = 0;
    int m_crossY = 0;
};

#endif
