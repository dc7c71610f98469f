#include "BRX_Logic_ConverterVideoFormatResol.h"

#include "BRX_Debug.h"

namespace {

using Converter = BRX_Logic_ConverterBase;

const Converter::Row kRows[] = {
    {"MOV 4096x2160p @ 24fps"}, {"MP4 4096x2160p @ 24fps"}, {"MOV 3840x2160p @ 30fps"},
    {"MP4 3840x2160p @ 30fps"}, {"MOV 3840x2160p @ 25fps"}, {"MP4 3840x2160p @ 25fps"},
    {"MP4 1920x1080p @ 120fps"}, {"MP4 1920x1080p @ 100fps"}, {"MOV 1920x1080p @ 60fps"},
    {"MP4 1920x1080p @ 60fps"}, {"MOV 1920x1080p @ 50fps"}, {"MP4 1920x1080p @ 50fps"},
    {"MOV 1920x1080p @ 30fps"}, {"MP4 1920x1080p @ 30fps"}, {"MOV 1920x1080p @ 25fps"},
    {"MP4 1920x1080p @ 25fps"}, {"MOV 1920x1080p @ 24fps"}, {"MP4 1920x1080p @ 24fps"},
    {"MP4 1280x720p @ 120fps"}, {"MP4 1280x720p @ 100fps"}, {"MOV 1280x720p @ 60fps"},
    {"MP4 1280x720p @ 60fps"}, {"MOV 1280x720p @ 50fps"}, {"MP4 1280x720p @ 50fps"},
    {"MOV 1280x720p @ 30fps"}, {"MP4 1280x720p @ 30fps"}, {"MOV 1280x720p @ 25fps"},
    {"MP4 1280x720p @ 25fps"}};

const Converter::ProductTable kTables[] = {
    {0x2041, Converter::indexTable(kRows)},
};

} // namespace

BRX_Logic_ConverterVideoFormatResol::BRX_Logic_ConverterVideoFormatResol(int productId)
{
    init(productId);
}

void BRX_Logic_ConverterVideoFormatResol::init(int productId)
{
    loadProductTable(productId, kTables, "Video Resolution", BRX_METHOD);
}
