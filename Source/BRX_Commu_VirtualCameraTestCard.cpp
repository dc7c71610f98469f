#include "BRX_Commu_VirtualCameraTestCard.h"

#include <QVector>

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

// A 5 x 7 font, a row in five bits, the top row first; glyphs sit 6 cells apart.
struct Glyph {
    char character;
    quint8 rows[7];
};
const Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'+', {0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00}}, {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {'/', {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x00}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
};
const int kGlyphPitch = 6;
const int kGlyphRows = 7;

// A line of text in the band, centred: its cells' size in card pixels and its top.
struct TextLine {
    int cell;
    int top;
};
const TextLine kNumberLine = {50, kBandTop + 60};
const TextLine kCaptionLine = {16, kBandTop + 60 + kGlyphRows * 50 + 60};

Area boxOf(const TextLine& line, int characters)
{
    const int width = (characters * kGlyphPitch - 1) * line.cell;
    return {(Card::kWidth - width) / 2, line.top, width, kGlyphRows * line.cell};
}

bool glyphBit(QChar character, int column, int row)
{
    for (const Glyph& glyph : kFont) {
        if (glyph.character == character)
            return glyph.rows[row] >> (4 - column) & 1;
    }
    return false;
}

// x and y lie inside box, the box of text.
bool isOnText(const QString& text, const Area& box, int cell, int x, int y)
{
    const int column = (x - box.x) / cell;
    const int glyphColumn = column % kGlyphPitch;
    return glyphColumn < kGlyphPitch - 1 && glyphBit(text.at(column / kGlyphPitch), glyphColumn, (y - box.y) / cell);
}

// The picture being drawn: a part of the card scaled into the pixels, its
// aspect kept, black around it. Each pixel shows the card at its centre.
// Draws go to the rows begun, which start black.
class Canvas
{
public:
    Canvas(const Area& area, int width, int height)
        : m_area(area)
        , m_scale(std::min(double(width) / area.width, double(height) / area.height))
        , m_width(width)
        , m_cardX(int(area.width * m_scale))
        , m_cardY(int(area.height * m_scale))
        , m_left((width - m_cardX.size()) / 2)
        , m_top((height - m_cardY.size()) / 2)
    {
        for (int x = 0; x < m_cardX.size(); ++x)
            m_cardX[x] = area.x + int((x + 0.5) / m_scale);
        for (int y = 0; y < m_cardY.size(); ++y)
            m_cardY[y] = area.y + int((y + 0.5) / m_scale);
    }

    // rowCount rows of the picture from firstRow on, at rgb.
    void begin(int firstRow, int rowCount, quint8* rgb)
    {
        m_firstRow = firstRow;
        m_rowCount = rowCount;
        m_rgb = rgb;
        std::fill_n(rgb, 3 * size_t(m_width) * size_t(rowCount), quint8(0));
    }

    // The card row that picture row y shows; -1 in the black around it.
    int cardRowOf(int y) const
    {
        const int row = y - m_top;
        return row >= 0 && row < m_cardY.size() ? m_cardY.at(row) : -1;
    }

    // Within box, the pixels whose card point mark(x, y, &colour) takes get
    // that colour.
    template <typename Mark>
    void paint(const Area& box, Mark mark)
    {
        const Span columns = pixelsOf(box.x, box.width, m_area.x, m_cardX);
        const Span rows = keptRows(pixelsOf(box.y, box.height, m_area.y, m_cardY));
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
        const Span rows = keptRows(pixelsOf(box.y, box.height, m_area.y, m_cardY));
        if (columns.begin == columns.end || rows.begin == rows.end)
            return;
        quint8* first = pixel(columns.begin, rows.begin);
        for (int x = 0; x < columns.end - columns.begin; ++x)
            put(first + 3 * x, colour);
        for (int y = rows.begin + 1; y < rows.end; ++y)
            std::copy_n(first, 3 * (columns.end - columns.begin), pixel(columns.begin, y));
    }

private:
    struct Span {
        int begin;
        int end;
    };

    quint8* pixel(int x, int y)
    {
        return m_rgb + 3 * (qint64(m_top + y - m_firstRow) * m_width + m_left + x);
    }

    Span keptRows(Span rows) const
    {
        rows.begin = std::max(rows.begin, m_firstRow - m_top);
        rows.end = std::min(rows.end, m_firstRow + m_rowCount - m_top);
        rows.begin = std::min(rows.begin, rows.end);
        return rows;
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
    const int m_width;
    QVector<int> m_cardX;
    QVector<int> m_cardY;
    const int m_left;
    const int m_top;
    int m_firstRow = 0;
    int m_rowCount = 0;
    quint8* m_rgb = nullptr;
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

QString numberText(int number)
{
    return QStringLiteral("%1").arg(number % 10000, 4, 10, QChar('0'));
}

void paintText(Canvas& canvas, const QString& text, const TextLine& line)
{
    const Area box = boxOf(line, text.size());
    canvas.paint(box, [&](int x, int y, Colour* colour) {
        *colour = kWhite;
        return isOnText(text, box, line.cell, x, y);
    });
}

Area ballBox(int x, int y)
{
    return {x - kBallRadius, y - kBallRadius, 2 * kBallRadius, 2 * kBallRadius};
}

Area crossBox(int x, int y)
{
    return {x - kCrossArm, y - kCrossArm, 2 * kCrossArm + 1, 2 * kCrossArm + 1};
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

// Every row of a mark whose rows all differ.
void addEveryRow(QVector<int>& edges, const Area& box)
{
    for (int y = box.y; y <= box.y + box.height; ++y)
        edges << y;
}

const int kNothingDrawn = -2;
const int kAroundTheCard = -1;

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

BRX_Commu_VirtualCameraJpeg::Image BRX_Commu_VirtualCameraTestCard::render(const Area& area, int width,
                                                                            int height) const
{
    BRX_Commu_VirtualCameraJpeg::Image image;
    image.width = width;
    image.height = height;
    image.rgb = QByteArray(3 * width * height, Qt::Uninitialized);
    Rows(*this, area, width, height).fill(0, height, reinterpret_cast<quint8*>(image.rgb.data()));
    return image;
}

QVector<int> BRX_Commu_VirtualCameraTestCard::edges() const
{
    QVector<int> edges{kBarsHeight, kBandTop};
    for (const TextLine& line : {kNumberLine, kCaptionLine}) {
        for (int row = 0; row <= kGlyphRows; ++row)
            edges << line.top + row * line.cell;
    }
    if (m_hasBall)
        addEveryRow(edges, ballBox(m_ballX, m_ballY));
    if (m_hasCross)
        addEveryRow(edges, crossBox(m_crossX, m_crossY));
    std::sort(edges.begin(), edges.end());
    return edges;
}

// The card as it was, and the row drawn last.
struct BRX_Commu_VirtualCameraTestCard::Rows::State {
    State(const BRX_Commu_VirtualCameraTestCard& card, const Area& area, int width, int height)
        : card(card)
        , canvas(area, width, height)
        , edges(card.edges())
        , row(3 * width, Qt::Uninitialized)
    {
    }

    // Rows of one key look alike: the rows around the card, or those
    // between the same two edges.
    int keyOf(int y) const
    {
        const int cardRow = canvas.cardRowOf(y);
        if (cardRow < 0)
            return kAroundTheCard;
        return int(std::upper_bound(edges.begin(), edges.end(), cardRow) - edges.begin());
    }

    // The cross over the ball over the number over the background.
    void draw(int y)
    {
        canvas.begin(y, 1, reinterpret_cast<quint8*>(row.data()));
        paintBackground(canvas);
        if (card.m_number >= 0)
            paintText(canvas, numberText(card.m_number), kNumberLine);
        if (!card.m_caption.isEmpty())
            paintText(canvas, card.m_caption, kCaptionLine);
        if (card.m_hasBall) {
            canvas.paint(ballBox(card.m_ballX, card.m_ballY), [this](int x, int y, Colour* colour) {
                return isOnBall(x - card.m_ballX, y - card.m_ballY, colour);
            });
        }
        if (card.m_hasCross) {
            canvas.paint(crossBox(card.m_crossX, card.m_crossY), [this](int x, int y, Colour* colour) {
                return isOnCross(x - card.m_crossX, y - card.m_crossY, colour);
            });
        }
    }

    const BRX_Commu_VirtualCameraTestCard card;
    Canvas canvas;
    const QVector<int> edges;
    QByteArray row;
    int drawnKey = kNothingDrawn;
};

BRX_Commu_VirtualCameraTestCard::Rows::Rows(const BRX_Commu_VirtualCameraTestCard& card, const Area& area, int width,
                                            int height)
    : m_state(new State(card, area, width, height))
{
}

BRX_Commu_VirtualCameraTestCard::Rows::~Rows() = default;

void BRX_Commu_VirtualCameraTestCard::Rows::fill(int first, int count, quint8* rgb)
{
    const size_t rowBytes = size_t(m_state->row.size());
    for (int y = first; y < first + count; ++y) {
        const int key = m_state->keyOf(y);
        if (key != m_state->drawnKey) {
            m_state->draw(y);
            m_state->drawnKey = key;
        }
        std::memcpy(rgb + size_t(y - first) * rowBytes, m_state->row.constData(), rowBytes);
    }
}
