// The order frames are packed in.
#ifndef FRAMEPACK_CONVERTER_FRAME_ORDER_H_
#define FRAMEPACK_CONVERTER_FRAME_ORDER_H_

#include <string>

// Returns whether a comes before b when runs of digits compare by their numeric value, so that
// frame100000 follows frame99999; other bytes compare as unsigned, and equal values fall back to
// the plain byte order.
bool FrameNameLess(const std::string& a, const std::string& b);

#endif  // FRAMEPACK_CONVERTER_FRAME_ORDER_H_
