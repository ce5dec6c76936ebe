#include "SixelDcsHandler.h"

#include "ImageBudget.h"

#include <string>
#include <utility>

namespace Tessaline {

SixelDcsHandler::SixelDcsHandler(BitmapSink sink, DefaultColors defaultColors)
    : _sink(std::move(sink))
    , _defaultColors(std::move(defaultColors)) {}

void SixelDcsHandler::hook(std::string_view, const SequenceParams&, uint8_t) {
    _data.clear();
    _dataTooLong = false;
}

void SixelDcsHandler::put(std::span<const uint8_t> data) {
    if (data.empty() || _dataTooLong) return;
    if (data.size() > SixelDecoder::maxDataLength - _data.size()) {
        _dataTooLong = true;
        _data = {};
        return;
    }
    _data.insert(_data.end(), data.begin(), data.end());
}

void SixelDcsHandler::unhook() {
    SixelDecoder::Result result = SixelDecoder::Result::dataTooLong;
    if (!_dataTooLong)
        result = _decoder.decode(_data, _defaultColors ? _defaultColors() : std::span<const Color>());
    switch (result) {
    case SixelDecoder::Result::decoded:
        if (_sink) _sink(_decoder.pixels(), int(_decoder.maxX()), int(_decoder.maxY()));
        break;
    case SixelDecoder::Result::dataTooLong:
        report("Tessaline: Sixel data longer than " + std::to_string(SixelDecoder::maxDataLength) +
               " bytes dropped");
        break;
    case SixelDecoder::Result::imageOverBudget:
        report("Tessaline: Sixel image over " + std::to_string(ImageBudget::maxImageBytes) +
               " bytes dropped");
        break;
    case SixelDecoder::Result::imageTooLarge:
        report("Tessaline: Sixel image larger than " + std::to_string(SixelDecoder::maxImageSide) +
               " pixels on a side dropped");
        break;
    }
}

void SixelDcsHandler::report(std::string_view message) const {
    if (diagnosticHandler) diagnosticHandler(message);
}

} // namespace Tessaline
