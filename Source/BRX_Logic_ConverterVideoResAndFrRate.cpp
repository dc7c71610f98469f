#include "BRX_Logic_ConverterVideoResAndFrRate.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row k2021Rows[] = {
    {"1920x1080p @ 25fps", 8}, {"1920x1080p @ 24fps", 9}, {"1280x720p @ 25fps", 15},
    {"1280x720p @ 24fps", 16}, {"640x480 @ 30fps", 17}, {"640x480 @ 25fps", 18}};

const Converter::Row k2031Rows[] = {
    {"4096x2160p @ 24fps", 0}, {"1920x1080p @ 30fps", 7}, {"1920x1080p @ 25fps", 8},
    {"1920x1080p @ 24fps", 9}};

const Converter::Row k2041Rows[] = {
    {"4096x2160p @ 24fps", 0}, {"3840x2160p @ 30fps", 1}, {"3840x2160p @ 25fps", 2},
    {"1920x1080p @ 120fps", 3}, {"1920x1080p @ 100fps", 4}, {"1920x1080p @ 60fps", 5},
    {"1920x1080p @ 50fps", 6}, {"1920x1080p @ 30fps", 7}, {"1920x1080p @ 25fps", 8},
    {"1920x1080p @ 24fps", 9}, {"1280x720p @ 120fps", 10}, {"1280x720p @ 100fps", 11},
    {"1280x720p @ 60fps", 12}, {"1280x720p @ 50fps", 13}, {"1280x720p @ 30fps", 14},
    {"1280x720p @ 25fps", 15}};

const Converter::Row k2051Rows[] = {
    {"1920x1080p @ 25fps", 8}, {"1920x1080p @ 24fps", 9}, {"1280x720p @ 25fps", 15},
    {"1280x720p @ 24fps", 16}};

const Converter::ProductTable kTables[] = {
    {0x2021, Converter::table(k2021Rows)},
    {0x2031, Converter::table(k2031Rows)},
    {0x2041, Converter::table(k2041Rows)},
    {0x2051, Converter::table(k2051Rows)},
};

} // namespace

BRX_Logic_ConverterVideoResAndFrRate::BRX_Logic_ConverterVideoResAndFrRate(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterVideoResAndFrRate::init(int productId)
{
    loadProductTable(productId, kTables, "Video Resolution", BRX_METHOD);
}
