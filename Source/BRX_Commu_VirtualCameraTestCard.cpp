#include "BRX_Commu_VirtualCameraTestCard.h"

#include <QVector>

#include <algorithm>
#include <cstdlib>

namespace {

typedef BRX_Commu_VirtualCameraTestCard Card;
typedef Card::Area Area;

struct Colour {
    quint8 r;
    quint8 g;
    quint8 b;
};
const Colour kWhite = {255, 255, 255};
const Colour kBlack = {0, 0, 0};

// Bars in the upper two thirds, the ramp below them, the band at the bottom.
const int kBarsHeight = Card::kHeight * 2 / 3;
const int kRampHeight = Card::kHeight / 6;
const int kBandTop = kBarsHeight + kRampHeight;
// White, yellow, cyan, green, magenta, red and blue at three quarters.
const Colour kBars[] = {{192, 192, 192}, {192, 192, 0}, {0, 192, 192}, {0, 192, 0},
                        {192, 0, 192},   {192, 0, 0},   {0, 0, 192}};
const int kRampSteps = 8;
const Colour kBand = {24, 24, 24};

const int kBallRadius = 360;
const int kBallCoreRadius = 150;
const int kCrossArm = 300;
const int kCrossLine = 20;

// Digits 3 cells wide and 5 high, a row in three bits, the top row first.
const quint16 kDigitCells[10] = {075557, 026227, 071747, 071717, 055711, 074717, 074757, 071111, 075757, 075717};
const int kDigits = 4;
const int kCell = 110;
const int kDigitPitch = 4 * kCell;
const Area kNumberBox = {(Card::kWidth - kDigits * kDigitPitch + kCell) / 2,
                         kBandTop + (Card::kHeight - kBandTop - 5 * kCell) / 2, kDigits * kDigitPitch, 5 * kCell};

// The picture being drawn: a part of the card scaled into the pixels, its
// aspect kept, black around it. Each pixel shows the card at its centre.
class Canvas
{
public:
    Canvas(const Area& area, int width, int height)
        : m_area(area)
        , m_scale(std::min(double(width) / area.width, double(height) / area.height))
        , m_cardX(int(area.width * m_scale))
        , m_cardY(int(area.height * m_scale))
        , m_left((width - m_cardX.size()) / 2)
        , m_top((height - m_cardY.size()) / 2)
    {
        m_image.width = width;
        m_image.height = height;
        m_image.rgb.fill('\0', width * height * 3);
        for (int x = 0; x < m_cardX.size(); ++x)
            m_cardX[x] = area.x + int((x + 0.5) / m_scale);
        for (int y = 0; y < m_cardY.size(); ++y)
            m_cardY[y] = area.y + int((y + 0.5) / m_scale);
    }

    // Within box, the pixels whose card point mark(x, y, &colour) takes get
    // that colour.
    template <typename Mark>
    void paint(const Area& box, Mark mark)
    {
        const Span columns = pixelsOf(box.x, box.width, m_area.x, m_cardX);
        const Span rows = pixelsOf(box.y, box.height, m_area.y, m_cardY);
        Colour colour = kBlack;
        for (int y = rows.begin; y < rows.end; ++y) {
            for (int x = columns.begin; x < columns.end; ++x) {
                if (mark(m_cardX.at(x), m_cardY.at(y), &colour))
                    put(pixel(x, y), colour);
            }
        }
    }

    // Row by row copies of the first, which keeps slow builds fast enough.
    void fill(const Area& box, const Colour& colour)
    {
        const Span columns = pixelsOf(box.x, box.width, m_area.x, m_cardX);
        const Span rows = pixelsOf(box.y, box.height, m_area.y, m_cardY);
        if (columns.begin == columns.end || rows.begin == rows.end)
            return;
        quint8* first = pixel(columns.begin, rows.begin);
        for (int x = 0; x < columns.end - columns.begin; ++x)
            put(first + 3 * x, colour);
        for (int y = rows.begin + 1; y < rows.end; ++y)
            std::copy_n(first, 3 * (columns.end - columns.begin), pixel(columns.begin, y));
    }

    const BRX_Commu_VirtualCameraJpeg::Image& image() const { return m_image; }

private:
    struct Span {
        int begin;
        int end;
    };

    quint8* pixel(int x, int y)
    {
        return reinterpret_cast<quint8*>(m_image.rgb.data()) + 3 * ((m_top + y) * m_image.width + m_left + x);
    }

    static void put(quint8* at, const Colour& colour)
    {
        at[0] = colour.r;
        at[1] = colour.g;
        at[2] = colour.b;
    }

    // The pixels on one axis that show card coordinates from start on for
    // length: found near where the scale puts them, then trimmed exactly
    // (the card coordinates of the pixels only grow).
    Span pixelsOf(int start, int length, int origin, const QVector<int>& card) const
    {
        const int end = qBound(0, int((start + length - origin) * m_scale) + 2, card.size());
        Span span = {qBound(0, int((start - origin) * m_scale) - 1, end), end};
        while (span.begin < span.end && card.at(span.begin) < start)
            ++span.begin;
        while (span.end > span.begin && card.at(span.end - 1) >= start + length)
            --span.end;
        return span;
    }

    const Area m_area;
    const double m_scale;
    QVector<int> m_cardX;
    QVector<int> m_cardY;
    const int m_left;
    const int m_top;
    BRX_Commu_VirtualCameraJpeg::Image m_image;
};

void paintBackground(Canvas& canvas)
{
    const int barCount = sizeof kBars / sizeof kBars[0];
    for (int bar = 0; bar < barCount; ++bar) {
        const int left = bar * Card::kWidth / barCount;
        canvas.fill({left, 0, (bar + 1) * Card::kWidth / barCount - left, kBarsHeight}, kBars[bar]);
    }
    for (int step = 0; step < kRampSteps; ++step) {
        const int left = step * Card::kWidth / kRampSteps;
        const quint8 level = quint8(step * 255 / (kRampSteps - 1));
        canvas.fill({left, kBarsHeight, (step + 1) * Card::kWidth / kRampSteps - left, kRampHeight},
                    {level, level, level});
    }
    canvas.fill({0, kBandTop, Card::kWidth, Card::kHeight - kBandTop}, kBand);
}

// x and y lie inside kNumberBox.
bool isOnDigit(int number, int x, int y)
{
    const int digit = (x - kNumberBox.x) / kDigitPitch;
    const int column = (x - kNumberBox.x) % kDigitPitch / kCell;
    const int row = (y - kNumberBox.y) / kCell;
    if (column >= 3)
        return false;
    for (int i = kDigits - 1; i > digit; --i)
        number /= 10;
    return kDigitCells[number % 10] >> (3 * (4 - row) + 2 - column) & 1;
}

// A black ball with a white core, so that it shows on every part of the card.
bool isOnBall(int dx, int dy, Colour* colour)
{
    const int distance = dx * dx + dy * dy;
    *colour = distance < kBallCoreRadius * kBallCoreRadius ? kWhite : kBlack;
    return distance < kBallRadius * kBallRadius;
}

// A white cross edged in black.
bool isOnCross(int dx, int dy, Colour* colour)
{
    const int along = std::max(std::abs(dx), std::abs(dy));
    const int across = std::min(std::abs(dx), std::abs(dy));
    *colour = across <= kCrossLine / 2 ? kWhite : kBlack;
    return along <= kCrossArm && across <= 2 * kCrossLine;
}

} // namespace

void BRX_Commu_VirtualCameraTestCard::setBall(int x, int y)
{
    m_hasBall = true;
    m_ballX = x;
    m_ballY = y;
}

void BRX_Commu_VirtualCameraTestCard::setCross(int x, int y)
{
    m_hasCross = true;
    m_crossX = x;
    m_crossY = y;
}

// The cross over the ball over the number over the background.
BRX_Commu_VirtualCameraJpeg::Image BRX_Commu_VirtualCameraTestCard::render(const Area& area, int width,
                                                                            int height) const
{
    Canvas canvas(area, width, height);
    paintBackground(canvas);
    if (m_number >= 0) {
        canvas.paint(kNumberBox, [this](int x, int y, Colour* colour) {
            *colour = kWhite;
            return isOnDigit(m_number, x, y);
        });
    }
    if (m_hasBall) {
        canvas.paint({m_ballX - kBallRadius, m_ballY - kBallRadius, 2 * kBallRadius, 2 * kBallRadius},
                     [this](int x, int y, Colour* colour) { return isOnBall(x - m_ballX, y - m_ballY, colour); });
    }
    if (m_hasCross) {
        canvas.paint({m_crossX - kCrossArm, m_crossY - kCrossArm, 2 * kCrossArm + 1, 2 * kCrossArm + 1},
                     [this](int x, int y, Colour* colour) { return isOnCross(x - m_crossX, y - m_crossY, colour); });
    }
    return canvas.image();
}
