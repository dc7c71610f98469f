#ifndef BRX_COMMU_VIRTUALCAMERATESTCARD_H
#define BRX_COMMU_VIRTUALCAMERATESTCARD_H

#include "BRX_Commu_VirtualCameraJpeg.h"

#include <QString>
#include <QtGlobal>
#include <QVector>

#include <memory>

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

    // The same picture made a few rows at a time, in any order: a row that
    // shows what the row drawn last showed is copied, not drawn again, so
    // that a large picture of the card costs little more than its bytes.
    // Keeps the card as it was when made.
    class Rows
    {
    public:
        Rows(const BRX_Commu_VirtualCameraTestCard& card, const Area& area, int width, int height);
        ~Rows();
        Rows(const Rows&) = delete;
        Rows& operator=(const Rows&) = delete;

        // count rows from first on, width x 3 bytes each, into rgb.
        void fill(int first, int count, quint8* rgb);

    private:
        struct State;
        std::unique_ptr<State> m_state;
    };

private:
    // The card rows at which what a row shows may change: the rows between
    // two of them all look alike.
    QVector<int> edges() const;

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
